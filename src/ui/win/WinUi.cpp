// The task dialog's declarations are those of Vista on; it is looked up at
// run time, so the program imports nothing that XP lacks.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#include "ui/win/WinUi.h"

#include <commctrl.h>

#include <vector>

#include "ui/TaskDialogs.h"

namespace quarnel {

std::wstring EditText(const std::string& text) {
  const std::wstring wide = WideFromUtf8(text);
  std::wstring out;
  out.reserve(wide.size());
  for (size_t i = 0; i < wide.size(); ++i) {
    if (wide[i] == L'\n' && (i == 0 || wide[i - 1] != L'\r')) out += L'\r';
    out += wide[i];
  }
  return out;
}

void DispatchWindowMessage(MSG& message) {
  HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
  if (root && IsDialogMessageW(root, &message)) return;
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

bool PumpUntil(const std::function<bool()>& done) {
  MSG message;
  while (!done()) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return false;
    }
    if (got < 0) return false;
    DispatchWindowMessage(message);
  }
  return true;
}

void RunModal(HWND window, HWND owner, const std::function<bool()>& done) {
  const bool ownerEnabled = owner && IsWindowEnabled(owner);
  if (ownerEnabled) EnableWindow(owner, FALSE);
  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
  PumpUntil(done);
  // The owner first, so that the activation goes back to it.
  if (ownerEnabled) EnableWindow(owner, TRUE);
  ShowWindow(window, SW_HIDE);
}

void TWinUi::SetMainWindow(HWND owner, TFormatPageView* page) {
  owner_ = owner;
  page_view_ = page;
  if (page_view_) page_view_->ShowFormatPage(Page());
}

void TWinUi::ShowMessage(const std::string& text, const std::string& caption, TMessageIcon icon) {
  const UINT kind = icon == TMessageIcon::Error     ? MB_ICONERROR
                    : icon == TMessageIcon::Warning ? MB_ICONWARNING
                                                    : MB_ICONINFORMATION;
  // No owner: the box may come while no window of the program is on screen.
  MessageBoxW(nullptr, WideFromUtf8(text).c_str(), WideFromUtf8(caption).c_str(), kind | MB_OK | MB_TASKMODAL);
}

int TWinUi::TaskDialog(const TTaskDialogRequest& request) {
  using TTaskDialogIndirect = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);
  HMODULE library = LoadLibraryW(L"comctl32.dll");
  if (reinterpret_cast<uintptr_t>(library) < 32) return 0;
  // The indirect form of the same dialog, for its default button.
  auto show = reinterpret_cast<TTaskDialogIndirect>(
      reinterpret_cast<void*>(GetProcAddress(library, "TaskDialogIndirect")));
  int pressed = 0;
  if (show) {
    const std::wstring title = WideFromUtf8(request.Title);
    const std::wstring instruction = WideFromUtf8(request.MainInstruction);
    const std::wstring content = WideFromUtf8(request.Content);
    TASKDIALOGCONFIG config = {};
    config.cbSize = sizeof config;
    config.hwndParent = owner_ && IsWindowVisible(owner_) ? owner_ : nullptr;
    config.dwCommonButtons = static_cast<TASKDIALOG_COMMON_BUTTON_FLAGS>(request.Buttons);
    config.pszWindowTitle = title.c_str();
    config.pszMainIcon = MAKEINTRESOURCEW(request.Icon);
    config.pszMainInstruction = instruction.c_str();
    config.pszContent = content.c_str();
    // The button Enter presses, as the core chose it.
    for (const TDialogButton& b : kDialogButtons) {
      if (b.Flag == request.DefaultButton) config.nDefaultButton = b.TaskCode;
    }
    if (FAILED(show(&config, &pressed, nullptr, nullptr))) pressed = 0;
  }
  FreeLibrary(library);
  return pressed;
}

int TWinUi::ClassicDialog(const TClassicDialogRequest& request) {
  return ShowClassicDialog(owner_ && IsWindowVisible(owner_) ? owner_ : nullptr, request);
}

void TWinUi::ProcessMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // For the loop that waits for it.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    DispatchWindowMessage(message);
  }
}

void TWinUi::ShowFormatPage(const TFormatPage& page) {
  if (page_view_) page_view_->ShowFormatPage(page);
}

void TWinUi::FocusStopButton() {
  if (page_view_) page_view_->FocusStopButton();
}

}  // namespace quarnel
