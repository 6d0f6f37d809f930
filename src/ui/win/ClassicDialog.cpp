// The classic message dialog of hosts without the task dialog. A message box
// has fixed sets of buttons (Yes and Cancel is none of them), so the dialog
// is a small window of its own: icon, text, one button per flag.
#include <algorithm>
#include <vector>

#include "ui/TaskDialogs.h"
#include "ui/win/VistaFuncs.h"
#include "ui/win/WinControls.h"
#include "ui/win/WinUi.h"

namespace quarnel {

namespace {

const wchar_t* KindIcon(TDialogKind kind) {
  switch (kind) {
    case TDialogKind::Information:
      return IDI_INFORMATION;
    case TDialogKind::Warning:
      return IDI_WARNING;
    case TDialogKind::Error:
      return IDI_ERROR;
    case TDialogKind::Confirmation:
      return IDI_QUESTION;
    case TDialogKind::Custom:
      break;
  }
  return nullptr;
}

class TClassicDialog : public TWindow {
 public:
  int Run(HWND owner, const TClassicDialogRequest& request);

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  int result_ = 0;
  int default_ = 0;
};

int TClassicDialog::Run(HWND owner, const TClassicDialogRequest& request) {
  std::vector<TDialogButton> buttons;
  for (const TDialogButton& b : kDialogButtons) {
    if (request.Buttons & b.Flag) buttons.push_back(b);
  }
  if (buttons.empty()) buttons.push_back(kDialogButtons[0]);
  // The button Enter presses: the core's choice, or the first.
  default_ = buttons.front().ClassicResult;
  for (const TDialogButton& b : buttons) {
    if (b.Flag == request.DefaultButton) default_ = b.ClassicResult;
  }

  HFONT font = CreateWindowFont();
  const std::wstring text = EditText(request.Text);
  HDC screen = GetDC(nullptr);
  HGDIOBJ old = SelectObject(screen, font);
  RECT textRect = {0, 0, 420, 0};
  DrawTextW(screen, text.c_str(), -1, &textRect, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(screen, old);
  ReleaseDC(nullptr, screen);

  const wchar_t* icon = KindIcon(request.Kind);
  const int textLeft = icon ? 66 : 20;
  const int textHeight = std::max<int>(textRect.bottom, icon ? 32 : 0);
  const int buttonsWidth = static_cast<int>(buttons.size()) * 81 - 6;
  const int width = std::max<int>(textLeft + textRect.right + 20, buttonsWidth + 40);
  const int height = 20 + textHeight + 20 + 23 + 12;
  Create(L"QuarnelClassicDialog", WideFromUtf8(request.Caption),
         WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, WS_EX_DLGMODALFRAME, width, height,
         owner);
  if (icon) {
    HWND picture = CreateControl(hwnd_, L"STATIC", L"", SS_ICON, -1);
    SendMessageW(picture, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, icon)), 0);
    MoveWindow(picture, 20, 20, 32, 32, FALSE);
  }
  HWND label = CreateControl(hwnd_, L"STATIC", text, SS_LEFT | SS_NOPREFIX, -1);
  MoveWindow(label, textLeft, 20, textRect.right, textRect.bottom, FALSE);
  int x = (width - buttonsWidth) / 2;
  HWND focus = nullptr;
  for (const TDialogButton& b : buttons) {
    const bool isDefault = b.ClassicResult == default_;
    const DWORD style = WS_TABSTOP | (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    HWND button =
        CreateControl(hwnd_, L"BUTTON", WideFromUtf8(b.ClassicCaption), style, b.ClassicResult);
    MoveWindow(button, x, height - 35, 75, 23, FALSE);
    if (isDefault) focus = button;
    x += 81;
  }
  SetFontOfChildren(hwnd_, font);
  CentreOnScreen(hwnd_);
  if (focus) SetFocus(focus);
  RunModal(hwnd_, owner, [this] { return result_ != 0; });
  DestroyWindow(hwnd_);
  DeleteObject(font);
  return result_;
}

LRESULT TClassicDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      // Enter without a focused button: the default one.
      if (id == IDOK && !GetDlgItem(hwnd_, IDOK)) {
        result_ = default_;
        return 0;
      }
      if (id >= kResultOk && id <= kResultNo && GetDlgItem(hwnd_, id)) result_ = id;
      // Esc, as the close box: Cancel.
      if (id == IDCANCEL) result_ = kResultCancel;
      return 0;
    }
    case WM_CLOSE:
      result_ = kResultCancel;
      return 0;
    case DM_GETDEFID:
      return MAKELRESULT(default_, DC_HASDEFID);
  }
  return TWindow::HandleMessage(message, wParam, lParam);
}

}  // namespace

int ShowClassicDialog(HWND owner, const TClassicDialogRequest& request) {
  TClassicDialog dialog;
  return dialog.Run(owner, request);
}

}  // namespace quarnel
