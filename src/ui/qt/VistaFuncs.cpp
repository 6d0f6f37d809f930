#include "ui/qt/VistaFuncs.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "ui/TaskDialogs.h"

namespace quarnel {

void SetIconTitleFont(QWidget* widget) {
  widget->setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
}

void UseCalibriFont(QWidget* widget) {
  if (!IsVistaOrLater()) return;
  QFont font = widget->font();
  if (font.family().compare("Calibri", Qt::CaseInsensitive) == 0) return;
  if (!QFontDatabase::families().contains("Calibri", Qt::CaseInsensitive)) return;
  font.setFamily("Calibri");
  if (font.pointSizeF() > 0) font.setPointSizeF(font.pointSizeF() + 2);
  widget->setFont(font);
}

void SetExplorerTheme(QWidget*) {}

QFont NamedFont(const char* family, int pointSize) {
  QFont font(family, pointSize);
  return font;
}

QFont ReportPaneFont() {
  QFont font("Courier New", 9);
  font.setStyleHint(QFont::TypeWriter);
  // The reports lay out columns with blanks; a proportional stand-in would
  // break them.
  if (!QFontInfo(font).fixedPitch()) {
    font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(9);
  }
  return font;
}

QColor BgrColor(uint32_t bgr) {
  return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                static_cast<int>((bgr >> 16) & 0xFF));
}

void SetTextColor(QWidget* widget, uint32_t bgr) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, BgrColor(bgr));
  palette.setColor(QPalette::Text, BgrColor(bgr));
  widget->setPalette(palette);
}

void CentreOnScreen(QWidget* window) {
  QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  const QSize size = window->frameGeometry().size();
  window->move(area.center() - QPoint(size.width() / 2, size.height() / 2));
}

}  // namespace quarnel
