// The agreement window on Win32: the agreement text and the agree and
// disagree buttons. It decides at its creation whether to show itself.
#pragma once

#include "ui/win/WinControls.h"

namespace quarnel {

class TfmLicenseAgreement : public TWindow {
 public:
  TfmLicenseAgreement();
  ~TfmLicenseAgreement() override;

  HWND Memo1 = nullptr;
  HWND Button1 = nullptr;  // "同意"
  HWND Button2 = nullptr;  // "不同意"

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void FormCreate();
  void Button1Click();
  void Close();

  HFONT font_ = nullptr;
  HBRUSH white_ = nullptr;
  bool closed_ = false;
};

}  // namespace quarnel
