#include "app/win/FmDebug.h"

#include "base/Logging.h"
#include "ui/win/VistaFuncs.h"
#include "ui/win/WinUi.h"

namespace quarnel {

TFmDebug::TFmDebug(HWND owner) : owner_(owner) {
  Create(L"QuarnelFmDebug", WideFromUtf8(debugwindow::kCaption), WS_OVERLAPPEDWINDOW, 0,
         debugwindow::kClient.Width, debugwindow::kClient.Height, nullptr);
  // Word wrap on: no ES_AUTOHSCROLL; both scroll bars all the same.
  Memo1 = CreateControl(hwnd_, L"EDIT", L"",
                        ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP, 1,
                        WS_EX_CLIENTEDGE);
  font_ = CreateFontOf(debugwindow::kFont, nullptr);
  SendMessageW(Memo1, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  BindPane(Memo1, DebugMemo);
  RECT client;
  GetClientRect(hwnd_, &client);
  MoveWindow(Memo1, 0, 0, client.right, client.bottom, FALSE);
  CentreOnScreen(hwnd_);
}

TFmDebug::~TFmDebug() {
  if (hwnd_) DestroyWindow(hwnd_);
  DeleteObject(font_);
}

void TFmDebug::Show() {
  closed_ = false;
  ShowWindow(hwnd_, SW_SHOW);
}

void TFmDebug::ShowModal() {
  ShowWindow(hwnd_, SW_HIDE);
  closed_ = false;
  RunModal(hwnd_, owner_, [this] { return closed_; });
}

LRESULT TFmDebug::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      MoveWindow(Memo1, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      return 0;
    case WM_CLOSE:
      closed_ = true;
      ShowWindow(hwnd_, SW_HIDE);
      return 0;
  }
  return TWindow::HandleMessage(message, wParam, lParam);
}

}  // namespace quarnel
