// The agreement window on Win32: the agreement text and the agree and
// disagree buttons, shown by RunAgreement. Anything but the agree button ends
// the program.
#pragma once

#include "agreement/LicenseAgreement.h"
#include "ui/win/WinControls.h"

namespace quarnel {

class TfmLicenseAgreement : public TWindow, public TAgreementView {
 public:
  TfmLicenseAgreement();
  ~TfmLicenseAgreement() override;

  void ShowModal() override;

  HWND Memo1 = nullptr;
  HWND Button1 = nullptr;  // agree
  HWND Button2 = nullptr;  // disagree

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Button1Click();
  void Close();

  HFONT font_ = nullptr;
  HBRUSH white_ = nullptr;
  bool closed_ = false;
};

}  // namespace quarnel
