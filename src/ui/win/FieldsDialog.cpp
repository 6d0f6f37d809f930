// The seam's form of text fields on Win32: a window of its own, as the
// classic dialog is: a line of text, one labelled edit per field, OK and
// Cancel.
#include <algorithm>
#include <vector>

#include "ui/win/VistaFuncs.h"
#include "ui/win/WinControls.h"
#include "ui/win/WinUi.h"

namespace quarnel {

namespace {

constexpr int kFirstEdit = 1000;

class TFieldsDialog : public TWindow {
 public:
  bool Run(HWND owner, const TFieldsDialogRequest& request, std::vector<std::string>* values);

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  int result_ = 0;
};

bool TFieldsDialog::Run(HWND owner, const TFieldsDialogRequest& request,
                        std::vector<std::string>* values) {
  values->resize(request.Labels.size());
  const int labelWidth = 90, line = 24;
  const int fieldWidth = request.FieldWidth > 0 ? request.FieldWidth : 240;
  const int width = 20 + labelWidth + fieldWidth + 20;
  const int fieldsTop = 20 + 36;
  const int buttonsTop = fieldsTop + static_cast<int>(request.Labels.size()) * (line + 6) + 12;
  const int height = buttonsTop + 23 + 16;
  Create(L"QuarnelFieldsDialog", WideFromUtf8(request.Title),
         WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
         WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, width, height, owner);
  HFONT font = CreateWindowFont();
  HWND text = CreateControl(hwnd_, L"STATIC", EditText(request.Text), SS_LEFT | SS_NOPREFIX, -1);
  MoveWindow(text, 20, 16, width - 40, 32, FALSE);
  std::vector<HWND> edits;
  for (size_t i = 0; i < request.Labels.size(); ++i) {
    const int top = fieldsTop + static_cast<int>(i) * (line + 6);
    HWND label =
        CreateControl(hwnd_, L"STATIC", WideFromUtf8(request.Labels[i]), SS_LEFT | SS_NOPREFIX, -1);
    MoveWindow(label, 20, top + 4, labelWidth, line - 4, FALSE);
    HWND edit =
        CreateControl(hwnd_, L"EDIT", WideFromUtf8((*values)[i]), ES_AUTOHSCROLL | WS_TABSTOP,
                      kFirstEdit + static_cast<int>(i), WS_EX_CLIENTEDGE);
    if (request.MaxLength > 0) SendMessageW(edit, EM_LIMITTEXT, request.MaxLength, 0);
    MoveWindow(edit, 20 + labelWidth, top, fieldWidth, line, FALSE);
    edits.push_back(edit);
  }
  HWND ok = CreateControl(hwnd_, L"BUTTON", WideFromUtf8(request.OkCaption),
                          BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK);
  MoveWindow(ok, width - 20 - 2 * 75 - 6, buttonsTop, 75, 23, FALSE);
  HWND cancel = CreateControl(hwnd_, L"BUTTON", WideFromUtf8(request.CancelCaption),
                              BS_PUSHBUTTON | WS_TABSTOP, IDCANCEL);
  MoveWindow(cancel, width - 20 - 75, buttonsTop, 75, 23, FALSE);
  SetFontOfChildren(hwnd_, font);
  CentreOnScreen(hwnd_);
  SetFocus(edits.empty() ? ok : edits.front());
  RunModal(hwnd_, owner, [this] { return result_ != 0; });
  if (result_ == IDOK) {
    for (size_t i = 0; i < edits.size(); ++i) {
      const int length = GetWindowTextLengthW(edits[i]);
      std::wstring wide(static_cast<size_t>(length) + 1, L'\0');
      GetWindowTextW(edits[i], wide.data(), length + 1);
      wide.resize(static_cast<size_t>(length));
      (*values)[i] = Utf8FromWide(wide);
    }
  }
  DestroyWindow(hwnd_);
  DeleteObject(font);
  return result_ == IDOK;
}

LRESULT TFieldsDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      // Enter anywhere is OK; Esc is Cancel.
      const int id = LOWORD(wParam);
      if (id == IDOK || id == IDCANCEL) result_ = id;
      return 0;
    }
    case WM_CLOSE:
      result_ = IDCANCEL;
      return 0;
    case DM_GETDEFID:
      return MAKELRESULT(IDOK, DC_HASDEFID);
  }
  return TWindow::HandleMessage(message, wParam, lParam);
}

}  // namespace

bool ShowFieldsDialog(HWND owner, const TFieldsDialogRequest& request,
                      std::vector<std::string>* values) {
  TFieldsDialog dialog;
  return dialog.Run(owner, request, values);
}

bool TWinUi::FieldsDialog(const TFieldsDialogRequest& request, std::vector<std::string>* values) {
  return ShowFieldsDialog(owner_ && IsWindowVisible(owner_) ? owner_ : nullptr, request, values);
}

}  // namespace quarnel
