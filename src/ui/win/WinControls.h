// What the program's Win32 windows share: a window class per form with the
// handler on the object, child controls, page containers, link labels and
// the binding of a log pane to an edit control.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "ui/Catalogue.h"

namespace quarnel {

class TLogPane;

/// A top-level window whose messages go to HandleMessage.
class TWindow {
 public:
  TWindow() = default;
  TWindow(const TWindow&) = delete;
  TWindow& operator=(const TWindow&) = delete;
  virtual ~TWindow();

  HWND Handle() const { return hwnd_; }

 protected:
  /// Creates the window hidden, with a client area of `width` by `height`.
  void Create(const wchar_t* className, const std::wstring& title, DWORD style, DWORD exStyle,
              int width, int height, HWND owner);
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  HWND hwnd_ = nullptr;

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

/// A child control; `id` is its control identifier.
HWND CreateControl(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style,
                   int id, DWORD exStyle = 0);

/// A plain container for the controls of one page of a tab control. It
/// passes its controls' notifications on to its top-level window.
HWND CreatePage(HWND parent);

/// A label that acts as a link: hand cursor, colours for rest, hover and a
/// held left button, and a click handler.
class TLinkLabel {
 public:
  TLinkLabel(HWND parent, const std::wstring& text, int id, const TLinkColours& colours,
             std::function<void()> click);
  HWND Handle() const { return hwnd_; }
  COLORREF Colour() const { return colour_; }

 private:
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  void Paint(COLORREF colour);

  HWND hwnd_ = nullptr;
  COLORREF rest_, hover_, pressed_, colour_;
  bool inside_ = false;
  std::function<void()> click_;
};

/// Shows a log pane in a multi-line edit control: its lines now and every
/// line appended later. Undone when the control is destroyed.
void BindPane(HWND edit, TLogPane& pane);

/// Scrolls a multi-line edit control so that `line` is its first visible one.
void ScrollPaneTo(HWND edit, int line);

/// The number of lines of a multi-line edit control.
int PaneLineCount(HWND edit);

/// Opens a file, folder or address with the shell's verb "open".
void ShellOpen(const wchar_t* target, int show);

/// The height in pixels of one line of `font`.
int FontLineHeight(HFONT font);

}  // namespace quarnel
