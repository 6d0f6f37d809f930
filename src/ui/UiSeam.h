// What the core asks of whichever front end runs it: message boxes, the two
// dialog forms, the format page's controls, the message pump and the request
// to end the program. The format page's state is kept here and pushed whole
// to the front end, which only draws it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quarnel {

enum class TMessageIcon { Error, Warning, Information };

/// The format page's controls that the busy switch and the procedure touch.
enum class TFormatControl {
  btRunBenchmarks = 0,
  btGetSmart,
  cbQuickWipe,
  btStop,
  cbVerify,
  cbFirmware,        // "驱动器自身擦除" instead of the zero fill
  cbFirmwareMethod,  // the drive's method, a drop-down
  btCertificate,     // the certificate of the run just ended
};
/// The three labels under the progress bar.
enum class TFormatLabel { lbCurrentPercent = 0, lbCurrentPosition, lbSpeed };
/// The progress bar's two looks.
enum class TProgressState { pbsNormal, pbsPaused };

/// The kinds of the classic message dialog.
enum class TDialogKind { Information, Warning, Error, Confirmation, Custom };

/// A task dialog as the front end shows it: the title as window title, the
/// main instruction as its text, the content under it. `Buttons` holds the
/// common-button flags (1 OK, 2 Yes, 4 No, 8 Cancel, 16 Retry, 32 Close);
/// `Icon` the icon code (81, 84, 98, 99 or other).
struct TTaskDialogRequest {
  std::string Title;
  std::string MainInstruction;
  std::string Content;
  int Icon = 0;
  int Buttons = 0;
  /// The button flag that Enter presses; 0: the dialog's first button.
  int DefaultButton = 0;
};

/// The classic dialog: the text alone under a caption, buttons from the same
/// flags (32 is Abort here).
struct TClassicDialogRequest {
  std::string Text;
  std::string Caption;
  TDialogKind Kind = TDialogKind::Custom;
  int Buttons = 0;
  /// The button flag that Enter presses; 0: the dialog's first button.
  int DefaultButton = 0;
};

/// A form of single-line text fields under a title and a line of text, with
/// an OK and a Cancel button; every field may stay empty.
struct TFieldsDialogRequest {
  std::string Title;
  std::string Text;
  std::vector<std::string> Labels;  // one field each
  std::string OkCaption, CancelCaption;
  int MaxLength = 0;   // characters a field takes; 0: no limit
  int FieldWidth = 0;  // pixels
};

/// What the format page shows.
struct TFormatPage {
  int Position = 0;  // progress bar, 0..100
  TProgressState State = TProgressState::pbsNormal;
  std::array<std::string, 3> Captions;  // by TFormatLabel
  std::array<bool, 8> Enabled{true, true,  true,  false,
                              true, false, false, false};  // by TFormatControl
  bool QuickWipe = false;
  bool Verify = false;  // read back after the run
  // The kind of run: "" the zero fill; "auto" or a method name ("block",
  // "crypto", "format-user", "format-crypto", "overwrite"): the drive's own erase.
  std::string FirmwareChoice;
  std::vector<std::string> FirmwareMethods;  // what the drive offers; empty: none
  int FirmwareIndex = 0;                     // the drop-down's choice, kept while the box is off
  bool StopFocused = false;
};

/// The window that draws the format page, for front ends whose seam hands
/// the page on to it.
class TFormatPageView {
 public:
  virtual ~TFormatPageView() = default;
  virtual void ShowFormatPage(const TFormatPage& page) = 0;
  virtual void FocusStopButton() = 0;
};

class TUiSeam {
 public:
  virtual ~TUiSeam() = default;
  /// A modal message box; returns when the user has closed it.
  virtual void ShowMessage(const std::string& text, const std::string& caption,
                           TMessageIcon icon) = 0;

  /// A modal task dialog. Returns the pressed button as the task dialog
  /// reports it (1 OK, 2 Cancel, 4 Retry, 6 Yes, 7 No, 8 Close), or 0 when no
  /// dialog could be shown.
  virtual int TaskDialog(const TTaskDialogRequest&) { return 0; }
  /// A modal classic dialog. Returns its modal result (1 OK, 2 Cancel,
  /// 3 Abort, 4 Retry, 6 Yes, 7 No).
  virtual int ClassicDialog(const TClassicDialogRequest&) { return 2; }
  /// A modal form of text fields: *values (one per label) holds what the
  /// fields start with and, on OK, what they hold then. False on Cancel;
  /// a front end without such forms takes the values as they are.
  virtual bool FieldsDialog(const TFieldsDialogRequest&, std::vector<std::string>* /*values*/) {
    return true;
  }
  /// Whether this front end shows task dialogs. By default, as on Windows,
  /// where the host is of the newer generation (major version 6 on).
  virtual bool ShowsTaskDialogs() const;

  /// Handles every window message already waiting and returns; never waits.
  virtual void ProcessMessages() {}

  /// Draws the format page as it now is; called after every change.
  virtual void ShowFormatPage(const TFormatPage&) {}
  /// Gives the stop button the keyboard focus.
  virtual void FocusStopButton() {}
  /// Bytes done and bytes in all of the run or the read-back in hand, with
  /// each progress step; for front ends that show more than the page's
  /// labels (the time left).
  virtual void ShowRunAmounts(int64_t /*done*/, int64_t /*total*/) {}
  /// A run began (with its read-back or sample check) or ended; `stoppable`
  /// says whether the stop button can end it (a drive's own erase cannot).
  virtual void RunStateChanged(bool /*running*/, bool /*stoppable*/) {}

  // The format page's state lives here, and every change is pushed whole to
  // ShowFormatPage: a front end draws it and keeps nothing of its own.
  void SetProgressPosition(int position);
  void SetProgressState(TProgressState state);
  void SetCaption(TFormatLabel label, const std::string& text);
  void SetControlEnabled(TFormatControl control, bool enabled);
  /// Marks the stop button focused and asks the front end to focus it.
  void FocusStop();
  /// The two boxes: a front end forwards every tick here; the core reads them.
  void SetQuickWipe(bool on);
  void SetVerify(bool on);
  bool QuickWipeChecked() const { return page_.QuickWipe; }
  bool VerifyChecked() const { return page_.Verify; }
  /// The run's kind and the methods the chosen drive offers (drop-down items).
  void SetFirmwareChoice(const std::string& choice);
  void SetFirmwareMethods(const std::vector<std::string>& methods);
  /// The front end's box and drop-down: the drive's own erase by the method
  /// at `index` of the offered ones when `on`, else the zero fill.
  void ChooseFirmware(bool on, int index);
  /// The drop-down's position.
  int FirmwareIndex() const { return page_.FirmwareIndex; }
  const std::string& FirmwareChoice() const { return page_.FirmwareChoice; }

  const std::string& Caption(TFormatLabel label) const {
    return page_.Captions[static_cast<int>(label)];
  }
  bool ControlEnabled(TFormatControl control) const {
    return page_.Enabled[static_cast<int>(control)];
  }
  const TFormatPage& Page() const { return page_; }

 private:
  TFormatPage page_;
};

/// The busy switch: enables or disables the format button, the SMART button,
/// the quick-wipe box, the read-back box and, where the drive offers a method
/// of its own erase, the choice of it and its drop-down; nothing else.
void SetControlsEnabled(bool enabled);
void SetControlsEnabled(TUiSeam& ui, bool enabled);

/// The front end's seam; without one, messages are kept in LastMessage.
TUiSeam& Ui();
void SetUi(TUiSeam* ui);

/// The text of the last message shown through the default seam (tests).
const std::string& LastMessageText();

/// Asks the front end to end the program once the current step returns.
void RequestProgramEnd(int exitCode);
bool ProgramEndRequested();
int ProgramExitCode();

/// Forgets the end request and the kept message (tests).
void ResetUi();

}  // namespace quarnel
