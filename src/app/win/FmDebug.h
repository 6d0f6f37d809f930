// The debug window on Win32: one editable pane of the debug log, filling the
// window. Shown without being modal while the start-up runs, and modal after
// the scan.
#pragma once

#include "app/Desktop.h"
#include "ui/win/WinControls.h"

namespace quarnel {

class TFmDebug : public TWindow, public TDebugWindowView {
 public:
  /// `owner`: the window the modal show disables.
  explicit TFmDebug(HWND owner);
  ~TFmDebug() override;

  void Show() override;
  void ShowModal() override;

  HWND Memo1 = nullptr;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  HWND owner_ = nullptr;
  HFONT font_ = nullptr;
  bool closed_ = false;
};

}  // namespace quarnel
