#include "agreement/win/FmLicenseAgreement.h"

#include "agreement/LicenseAgreement.h"
#include "ui/win/VistaFuncs.h"
#include "ui/win/WinUi.h"

namespace quarnel {

namespace {
enum : int { idMemo = 300, idAgree, idDisagree };

void Place(HWND control, const TRect& rect) {
  MoveWindow(control, rect.Left, rect.Top, rect.Width, rect.Height, FALSE);
}
}  // namespace

using namespace agreement;

TfmLicenseAgreement::TfmLicenseAgreement() {
  Create(L"QuarnelFmLicenseAgreement", WideFromUtf8(kCaption), WS_POPUP | WS_CAPTION | WS_SYSMENU,
         WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT | WS_EX_APPWINDOW, kClient.Width,
         kClient.Height, nullptr);
  font_ = CreateFontOf(kFont, nullptr);
  white_ = CreateSolidBrush(kBgrWhite);
  Memo1 = CreateControl(hwnd_, L"EDIT", EditText(kAgreementText),
                        ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP,
                        idMemo, WS_EX_CLIENTEDGE);
  Button1 = CreateControl(hwnd_, L"BUTTON", WideFromUtf8(kAgreeCaption),
                          BS_PUSHBUTTON | WS_TABSTOP, idAgree);
  Button2 = CreateControl(hwnd_, L"BUTTON", WideFromUtf8(kDisagreeCaption),
                          BS_PUSHBUTTON | WS_TABSTOP, idDisagree);
  Place(Memo1, kMemo);
  Place(Button1, kAgreeButton);
  Place(Button2, kDisagreeButton);
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
        SetBkColor(reinterpret_cast<HDC>(wParam), kBgrWhite);
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
