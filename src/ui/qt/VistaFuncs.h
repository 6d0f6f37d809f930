// Window fonts, list themes and colours the way the desktop gives them: the
// general font of the desktop, Calibri where the host is of the newer
// generation and has it, fixed-pitch faces for the report panes.
#pragma once

#include <QColor>
#include <QFont>
#include <cstdint>

class QWidget;

namespace quarnel {

/// The desktop's general font on the widget.
void SetIconTitleFont(QWidget* widget);

/// On hosts of major version 6 on: Calibri two points larger when the face
/// is another one and Calibri is installed; otherwise nothing.
void UseCalibriFont(QWidget* widget);

/// The host has no list theme of that kind: nothing to do.
void SetExplorerTheme(QWidget* widget);

/// "Courier New" 9 point, or the desktop's fixed-pitch face at 9 point where
/// the face given is not fixed-pitch.
QFont ReportPaneFont();

/// A face by name and size, as the windows' fixed fonts are given.
QFont NamedFont(const char* family, int pointSize);

/// A colour given as 0x00BBGGRR.
QColor BgrColor(uint32_t bgr);
inline constexpr uint32_t kBgrBlue = 0xFF0000;
inline constexpr uint32_t kBgrRed = 0x0000FF;
inline constexpr uint32_t kBgrGrey = 0x808080;

/// Sets the text colour of a label (or any widget drawing its text).
void SetTextColor(QWidget* widget, uint32_t bgr);

/// Moves a top-level window to the middle of its screen.
void CentreOnScreen(QWidget* window);

}  // namespace quarnel
