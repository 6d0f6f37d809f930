// The desktop program's windows as the core drives them, for every toolkit:
// the order in which they are created, the start-up inside the main window's
// first show, and the main window's buttons. A toolkit gives a factory of
// its four windows and draws; the sequence is this one.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "agreement/LicenseAgreement.h"
#include "devices/DriveChoose.h"
#include "ui/UiSeam.h"

namespace quarnel {

class TLogPane;

/// The self-test row of the S.M.A.R.T. page, beside the SMART button: the
/// choice of kind, the button, a bar and a line.
struct TSelfTestRow {
  bool Running = false;  // the button stops the test; the kind cannot change
  int Percent = -1;      // the bar, 0..100; -1: no bar
  std::string Text;      // the line beside the button
  std::string ButtonCaption;
};

/// The main window.
class TMainWindowView : public TFormatPageView {
 public:
  /// The caption, the application's title and the first status panel.
  virtual void SetTitle(const std::string& title) = 0;
  /// The header label.
  virtual void ShowDiskName(const std::string& description) = 0;
  /// The second status panel.
  virtual void ShowStatusDescription(const std::string& description) = 0;
  /// The third status panel: the drive's health verdict once it was read.
  virtual void ShowHealthVerdict(const std::string& verdict) = 0;
  /// The self-test row as it now is; called after every change.
  virtual void ShowSelfTestRow(const TSelfTestRow& /*row*/) {}
  /// Scrolls a report pane (Log_Details, Log_Smart) so that `line` is its
  /// first visible one, once the lines written so far are drawn.
  virtual void ScrollReportTo(const TLogPane& pane, int line) = 0;
  /// Puts the window on screen on its first page.
  virtual void Show() = 0;
  /// Closes the window, as its close box does.
  virtual void Close() = 0;
};

/// The debug window.
class TDebugWindowView {
 public:
  virtual ~TDebugWindowView() = default;
  /// On screen, not modal; returns at once.
  virtual void Show() = 0;
  /// Hidden, then shown again modally; returns when the user has closed it.
  virtual void ShowModal() = 0;
};

/// One toolkit's windows, created hidden, and its message loop.
class TWindowFactory {
 public:
  virtual ~TWindowFactory() = default;
  /// The seam the core's dialogs and the format page go through; the main
  /// window, once created, owns the dialogs and draws the format page.
  virtual TUiSeam& Seam() = 0;
  virtual std::unique_ptr<TMainWindowView> CreateMainWindow() = 0;
  virtual std::unique_ptr<TChooserView> CreateChooser() = 0;
  virtual std::unique_ptr<TAgreementView> CreateAgreement() = 0;
  virtual std::unique_ptr<TDebugWindowView> CreateDebugWindow() = 0;
  /// Handles window messages until the main window has closed.
  virtual void RunUntilClosed() = 0;
  /// The erase station instead of the main window, after the start-up's
  /// scan: shown until it is closed. Returns the program's exit status.
  virtual int RunStation() = 0;
  /// Before any window: an error that ends the program, or a notice.
  virtual void ShowStartError(const std::string& text) = 0;
  virtual void ShowStartNotice(const std::string& text) = 0;
};

class TDesktop {
 public:
  /// Installs the factory's seam and creates the windows in their order: the
  /// main window (closing it ends the program), the chooser, the agreement
  /// (shown at once unless this user has accepted this version; a refusal
  /// asks for the end) and the debug window. The host must be installed.
  /// With `station` (--station) the start-up opens the station instead of
  /// the chooser; the chooser's station button does the same.
  TDesktop(TWindowFactory& windows, std::vector<std::string> arguments, std::string programFile,
           bool station = false);
  ~TDesktop();
  TDesktop(const TDesktop&) = delete;
  TDesktop& operator=(const TDesktop&) = delete;

  /// The main window's show. The first one runs the whole start-up before
  /// the window is on screen: the checks, the titles, the scan, the warning
  /// lines, the debug window (modal in debug mode), the chooser, the chosen
  /// drive opened, its details. Returns whether the window is on screen.
  bool Show();
  /// Show, then the messages until the main window has closed. Returns the
  /// program's exit status.
  int Run();

 private:
  bool FirstShow();

  TWindowFactory& windows_;
  std::vector<std::string> arguments_;
  std::string program_file_;
  std::unique_ptr<TMainWindowView> main_;
  std::unique_ptr<TChooserView> chooser_;
  std::unique_ptr<TAgreementView> agreement_;
  std::unique_ptr<TDebugWindowView> debug_;
  bool shown_once_ = false;
  bool station_ = false;  // the station opens instead of the main window
};

/// The lines a pane shows: a line with line breaks of its own shows as more.
int ShownLines(const TLogPane& pane);

/// The format button: the procedure, then a close put off by the run.
void FormatButtonClicked(TMainWindowView& main);
/// The SMART button: the report with the busy switch off while it reads;
/// the pane turns to the start of the report just written.
void SmartButtonClicked(TMainWindowView& main);
/// The self-test button with the kind at `kindIndex` of
/// mainwindow::kSelfTestKindCaptions chosen: starts the drive's self-test and
/// follows it to its end, handling the window's messages meanwhile, then
/// writes its outcome and the drive's self-test log to the S.M.A.R.T. page.
/// Clicked again while it runs, it stops the test in the drive.
void SelfTestButtonClicked(TMainWindowView& main, int kindIndex);
/// The row as it stands when no test is followed.
TSelfTestRow IdleSelfTestRow();
/// The self-test button takes clicks while its test runs, and otherwise
/// when the SMART button does (not during a format or a SMART read).
bool SelfTestButtonEnabled(const TSelfTestRow& row, const TFormatPage& page);
/// A self-test is being followed (the main window's close ends that first).
bool SelfTestFollowed();
/// Ends the following at its next step; the test goes on in the drive.
void StopFollowingSelfTest();

}  // namespace quarnel
