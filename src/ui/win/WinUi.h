// The UI seam on the Win32 API: message boxes, the task dialog of common
// controls 6 with the classic dialog before it, the PeekMessage pump, modal
// loops for the program's own windows, and the format page drawn by the
// window that holds it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "base/WideText.h"
#include "ui/UiSeam.h"

namespace quarnel {

class TWinUi : public TUiSeam {
 public:
  /// The window that owns the dialogs and draws the format page.
  void SetMainWindow(HWND owner, TFormatPageView* page);

  void ShowMessage(const std::string& text, const std::string& caption, TMessageIcon icon) override;
  int TaskDialog(const TTaskDialogRequest& request) override;
  int ClassicDialog(const TClassicDialogRequest& request) override;
  bool FieldsDialog(const TFieldsDialogRequest& request, std::vector<std::string>* values) override;
  void ProcessMessages() override;

  void ShowFormatPage(const TFormatPage& page) override;
  void FocusStopButton() override;

 private:
  HWND owner_ = nullptr;
  TFormatPageView* page_view_ = nullptr;
};

/// A core text as an edit control shows it: line ends as CR LF.
std::wstring EditText(const std::string& text);

/// Handles one message the way a dialog would: Tab, arrows, Enter and Esc
/// within its top-level window, then translate and dispatch.
void DispatchWindowMessage(MSG& message);

/// Runs the message loop until `done` says so. Returns false when WM_QUIT
/// arrived (it is posted again for the outer loop).
bool PumpUntil(const std::function<bool()>& done);

/// Shows `window` modally over `owner` (which may be hidden or null) until
/// `done`; the window is hidden again afterwards.
void RunModal(HWND window, HWND owner, const std::function<bool()>& done);

/// The classic dialog of hosts before the task dialog: the text under a
/// caption, an icon by kind, buttons from the flags. Returns the modal result.
int ShowClassicDialog(HWND owner, const TClassicDialogRequest& request);

/// The form of text fields; false on Cancel, Esc or the close box.
bool ShowFieldsDialog(HWND owner, const TFieldsDialogRequest& request,
                      std::vector<std::string>* values);

}  // namespace quarnel
