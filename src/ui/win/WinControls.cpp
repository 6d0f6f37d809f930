#include "ui/win/WinControls.h"

#include <commctrl.h>
#include <shellapi.h>

#include <memory>
#include <set>

#include "base/Logging.h"
#include "ui/win/VistaFuncs.h"
#include "ui/win/WinUi.h"

namespace quarnel {

namespace {

void RegisterOnce(const wchar_t* className, WNDPROC proc) {
  static std::set<std::wstring> registered;
  if (!registered.insert(className).second) return;
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = proc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
  if (!windowClass.hIcon) windowClass.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = className;
  RegisterClassExW(&windowClass);
}

LRESULT CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
      return SendMessageW(GetAncestor(window, GA_ROOT), message, wParam, lParam);
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

TWindow::~TWindow() {
  if (hwnd_ && IsWindow(hwnd_)) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

void TWindow::Create(const wchar_t* className, const std::wstring& title, DWORD style,
                     DWORD exStyle, int width, int height, HWND owner) {
  RegisterOnce(className, Proc);
  const SIZE size = WindowSizeForClient(style, exStyle, width, height);
  CreateWindowExW(exStyle, className, title.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT, size.cx,
                  size.cy, owner, nullptr, GetModuleHandleW(nullptr), this);
}

LRESULT TWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK TWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<TWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->hwnd_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<TWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    return DefWindowProcW(window, message, wParam, lParam);
  }
  return self->HandleMessage(message, wParam, lParam);
}

HWND CreateControl(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style,
                   int id, DWORD exStyle) {
  return CreateWindowExW(exStyle, className, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 10,
                         10, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                         GetModuleHandleW(nullptr), nullptr);
}

HWND CreatePage(HWND parent) {
  RegisterOnce(L"QuarnelPage", PageProc);
  return CreateWindowExW(WS_EX_CONTROLPARENT, L"QuarnelPage", L"", WS_CHILD | WS_CLIPSIBLINGS, 0, 0,
                         10, 10, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
}

TLinkLabel::TLinkLabel(HWND parent, const std::wstring& text, int id, const TLinkColours& colours,
                       std::function<void()> click)
    : rest_(colours.Rest),
      hover_(colours.Hover),
      pressed_(colours.Pressed),
      colour_(colours.Rest),
      click_(std::move(click)) {
  hwnd_ = CreateControl(parent, L"STATIC", text, SS_NOTIFY | SS_LEFT, id);
  SetWindowSubclass(hwnd_, Proc, 1, reinterpret_cast<DWORD_PTR>(this));
}

void TLinkLabel::Paint(COLORREF colour) {
  if (colour == colour_) return;
  colour_ = colour;
  InvalidateRect(hwnd_, nullptr, TRUE);
}

LRESULT CALLBACK TLinkLabel::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                  DWORD_PTR data) {
  auto* self = reinterpret_cast<TLinkLabel*>(data);
  switch (message) {
    case WM_SETCURSOR:
      SetCursor(LoadCursorW(nullptr, IDC_HAND));
      return TRUE;
    case WM_MOUSEMOVE:
      if (!self->inside_) {
        self->inside_ = true;
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, window, 0};
        TrackMouseEvent(&track);
        if (!(wParam & MK_LBUTTON)) self->Paint(self->hover_);
      }
      break;
    case WM_MOUSELEAVE:
      self->inside_ = false;
      self->Paint(self->rest_);
      break;
    case WM_LBUTTONDOWN:
      self->Paint(self->pressed_);
      break;
    case WM_LBUTTONUP:
      self->Paint(self->rest_);
      if (self->inside_ && self->click_) self->click_();
      break;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT rect;
      GetClientRect(window, &rect);
      // The parent's background, as the label would have it.
      auto brush = reinterpret_cast<HBRUSH>(SendMessageW(GetParent(window), WM_CTLCOLORSTATIC,
                                                         reinterpret_cast<WPARAM>(dc),
                                                         reinterpret_cast<LPARAM>(window)));
      FillRect(dc, &rect, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
      auto font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
      HGDIOBJ old = SelectObject(dc, font);
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, self->colour_);
      wchar_t text[512];
      GetWindowTextW(window, text, 512);
      const bool right = (GetWindowLongW(window, GWL_STYLE) & SS_TYPEMASK) == SS_RIGHT;
      DrawTextW(dc, text, -1, &rect,
                DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | (right ? DT_RIGHT : DT_LEFT));
      SelectObject(dc, old);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_NCDESTROY:
      RemoveWindowSubclass(window, Proc, 1);
      break;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

namespace {

struct TPaneBinding {
  TLogPane* pane;
  size_t lines;
};

LRESULT CALLBACK PaneProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                          DWORD_PTR data) {
  if (message == WM_NCDESTROY) {
    auto* binding = reinterpret_cast<TPaneBinding*>(data);
    binding->pane->SetListener(nullptr);
    RemoveWindowSubclass(window, PaneProc, 1);
    delete binding;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

void AppendLine(HWND edit, TPaneBinding& binding, const std::string& line) {
  const std::wstring text = (binding.lines ? L"\r\n" : L"") + EditText(line);
  ++binding.lines;
  const LRESULT end = GetWindowTextLengthW(edit);
  SendMessageW(edit, EM_SETSEL, end, end);
  SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

}  // namespace

void BindPane(HWND edit, TLogPane& pane) {
  // The panes have no line limit.
  SendMessageW(edit, EM_SETLIMITTEXT, 0, 0);
  auto* binding = new TPaneBinding{&pane, 0};
  std::wstring text;
  for (const std::string& line : pane.Lines()) {
    if (binding->lines++) text += L"\r\n";
    text += EditText(line);
  }
  SetWindowTextW(edit, text.c_str());
  pane.SetListener([edit, binding](const std::string& line) { AppendLine(edit, *binding, line); });
  SetWindowSubclass(edit, PaneProc, 1, reinterpret_cast<DWORD_PTR>(binding));
}

void ScrollPaneTo(HWND edit, int line) {
  const LRESULT first = SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0);
  SendMessageW(edit, EM_LINESCROLL, 0, line - first);
}

int PaneLineCount(HWND edit) { return static_cast<int>(SendMessageW(edit, EM_GETLINECOUNT, 0, 0)); }

void ShellOpen(const wchar_t* target, int show) {
  ShellExecuteW(nullptr, L"open", target, nullptr, nullptr, show);
}

int FontLineHeight(HFONT font) {
  HDC screen = GetDC(nullptr);
  HGDIOBJ old = SelectObject(screen, font);
  TEXTMETRICW metrics = {};
  GetTextMetricsW(screen, &metrics);
  SelectObject(screen, old);
  ReleaseDC(nullptr, screen);
  return metrics.tmHeight;
}

}  // namespace quarnel
