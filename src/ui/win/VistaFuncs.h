// Window fonts, list themes and colours: the icon-title font of the system,
// Calibri on hosts of the newer generation that have it, the Explorer look of
// list views there, fixed faces for the panes.
#pragma once

#include <windows.h>

#include <cstdint>

namespace quarnel {

/// The system's icon-title font (SPI_GETICONTITLELOGFONT), or the stock
/// DEFAULT_GUI_FONT's when the system does not give it.
LOGFONTW SetIconTitleFont();

/// On hosts of major version 6 on: Calibri, two points larger, when the face
/// is another one and Calibri is installed; otherwise nothing.
void UseCalibriFont(LOGFONTW& font);

/// The font of a window: the icon-title font, then Calibri.
HFONT CreateWindowFont();

/// A face by name and size in points.
HFONT CreateNamedFont(const wchar_t* face, int points, bool bold = false, bool underline = false);

/// A copy of `font` in bold, underlined or at another size (0 keeps it).
HFONT DeriveFont(HFONT font, bool bold, bool underline, int points = 0);

/// "Courier New" 9 point, the report panes' font.
HFONT CreateReportPaneFont();

/// On hosts of major version 6 on, the Explorer look of a list view.
void SetExplorerTheme(HWND window);

/// Gives `window` and all of its children `font`.
void SetFontOfChildren(HWND window, HFONT font);

/// Moves a top-level window to the middle of the work area.
void CentreOnScreen(HWND window);

/// The outer size of a window whose client area is `width` by `height`.
SIZE WindowSizeForClient(DWORD style, DWORD exStyle, int width, int height);

/// Colours as 0x00BBGGRR, as COLORREF takes them.
inline constexpr COLORREF kBgrBlue = 0xFF0000;
inline constexpr COLORREF kBgrRed = 0x0000FF;
inline constexpr COLORREF kBgrGrey = 0x808080;

}  // namespace quarnel
