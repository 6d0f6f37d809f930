#include "agreement/win/FmLicenseAgreement.h"

#include "agreement/LicenseAgreement.h"
#include "ui/win/VistaFuncs.h"
#include "ui/win/WinUi.h"

namespace quarnel {

namespace {
enum : int { idMemo = 300, idAgree, idDisagree };
}

TfmLicenseAgreement::TfmLicenseAgreement() {
  Create(L"QuarnelFmLicenseAgreement", L"许可协议", WS_POPUP | WS_CAPTION | WS_SYSMENU,
         WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT | WS_EX_APPWINDOW, 612, 383, nullptr);
  font_ = CreateNamedFont(L"Tahoma", 8);
  white_ = CreateSolidBrush(RGB(255, 255, 255));
  Memo1 = CreateControl(hwnd_, L"EDIT", EditText(kAgreementText),
                        ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP,
                        idMemo, WS_EX_CLIENTEDGE);
  Button1 = CreateControl(hwnd_, L"BUTTON", L"同意", BS_PUSHBUTTON | WS_TABSTOP, idAgree);
  Button2 = CreateControl(hwnd_, L"BUTTON", L"不同意", BS_PUSHBUTTON | WS_TABSTOP, idDisagree);
  MoveWindow(Memo1, 8, 8, 595, 313, FALSE);
  MoveWindow(Button1, 393, 336, 75, 25, FALSE);
  MoveWindow(Button2, 497, 336, 75, 25, FALSE);
  SetFontOfChildren(hwnd_, font_);
  CentreOnScreen(hwnd_);
}

TfmLicenseAgreement::~TfmLicenseAgreement() {
  if (hwnd_) DestroyWindow(hwnd_);
  DeleteObject(font_);
  DeleteObject(white_);
}

void TfmLicenseAgreement::ShowModal() {
  closed_ = false;
  SetFocus(Button1);
  RunModal(hwnd_, nullptr, [this] { return closed_; });
}

void TfmLicenseAgreement::Button1Click() {
  AcceptAgreement();
  Close();
}

void TfmLicenseAgreement::Close() {
  if (closed_) return;
  closed_ = true;
  ShowWindow(hwnd_, SW_HIDE);
  AgreementWindowClosed();
}

LRESULT TfmLicenseAgreement::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == idAgree) Button1Click();
      // Esc and the disagree button: a refusal, as the close box.
      if (LOWORD(wParam) == idDisagree || LOWORD(wParam) == IDCANCEL) Close();
      return 0;
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) == Memo1) {
        SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
        return reinterpret_cast<LRESULT>(white_);
      }
      break;
    case WM_CLOSE:
      Close();
      return 0;
  }
  return TWindow::HandleMessage(message, wParam, lParam);
}

}  // namespace quarnel
