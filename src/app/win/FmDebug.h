// The debug window on Win32: one editable pane of the debug log, filling the
// window. Shown without being modal while the start-up runs, and modal after
// the scan.
#pragma once

#include "ui/win/WinControls.h"

namespace quarnel {

class TFmDebug : public TWindow {
 public:
  TFmDebug();
  ~TFmDebug() override;

  /// Shows the window and returns at once.
  void Show();
  /// Hides the window and shows it again modally over `owner`; returns when
  /// the user has closed it.
  void ShowModal(HWND owner);

  HWND Memo1 = nullptr;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  HFONT font_ = nullptr;
  bool closed_ = false;
};

}  // namespace quarnel
