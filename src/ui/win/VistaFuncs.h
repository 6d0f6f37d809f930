// Window fonts, list themes and colours: the icon-title font of the system,
// Calibri on hosts of the newer generation that have it, the Explorer look of
// list views there, fixed faces for the panes.
#pragma once

#include <windows.h>

#include <cstdint>

#include "ui/Catalogue.h"

namespace quarnel {

/// The system's icon-title font (SPI_GETICONTITLELOGFONT), or the stock
/// DEFAULT_GUI_FONT's when the system does not give it.
LOGFONTW SetIconTitleFont();

/// On hosts of major version 6 on: Calibri, two points larger, when the face
/// is another one and Calibri is installed; otherwise nothing.
void UseCalibriFont(LOGFONTW& font);

/// The font of a window: the icon-title font, then Calibri.
HFONT CreateWindowFont();

/// The font `choice` asks for, from the window's font `windowFont`.
HFONT CreateFontOf(const TFontChoice& choice, HFONT windowFont);

/// On hosts of major version 6 on, the Explorer look of a list view.
void SetExplorerTheme(HWND window);

/// Gives `window` and all of its children `font`.
void SetFontOfChildren(HWND window, HFONT font);

/// Moves a top-level window to the middle of the work area.
void CentreOnScreen(HWND window);

/// The outer size of a window whose client area is `width` by `height`.
SIZE WindowSizeForClient(DWORD style, DWORD exStyle, int width, int height);

}  // namespace quarnel
