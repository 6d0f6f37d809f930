// Window fonts, list themes and colours the way the desktop gives them: the
// general font of the desktop, Calibri where the host is of the newer
// generation and has it, fixed-pitch faces for the report panes.
#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QSize>
#include <cstdint>

#include "ui/Catalogue.h"

class QWidget;

namespace quarnel {

/// The desktop's general font on the widget.
void SetIconTitleFont(QWidget* widget);

/// Calibri two points larger when the face is another one and Calibri is
/// installed; otherwise nothing. The Qt desktop is always of the newer
/// generation, whatever the kernel's version number.
void UseCalibriFont(QWidget* widget);

/// The host has no list theme of that kind: nothing to do.
void SetExplorerTheme(QWidget* widget);

/// The font `choice` asks for, from the window's font `base`; a named face
/// that must be fixed-pitch and is not becomes the desktop's fixed face.
QFont FontOf(const TFontChoice& choice, const QFont& base);
/// The same, set on the widget from its own font.
void SetFont(QWidget* widget, const TFontChoice& choice);

/// A colour given as 0x00BBGGRR.
QColor BgrColor(uint32_t bgr);

inline QSize SizeOf(TSize size) { return {size.Width, size.Height}; }
inline QRect RectOf(TRect rect) { return {rect.Left, rect.Top, rect.Width, rect.Height}; }

/// Sets the text colour of a label (or any widget drawing its text).
void SetTextColor(QWidget* widget, uint32_t bgr);

/// Moves a top-level window to the middle of its screen.
void CentreOnScreen(QWidget* window);

}  // namespace quarnel
