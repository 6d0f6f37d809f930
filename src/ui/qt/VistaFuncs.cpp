#include "ui/qt/VistaFuncs.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace quarnel {

void SetIconTitleFont(QWidget* widget) {
  widget->setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
}

void UseCalibriFont(QWidget* widget) {
  QFont font = widget->font();
  const QString calibri = QString::fromUtf8(kCalibriFace);
  if (font.family().compare(calibri, Qt::CaseInsensitive) == 0) return;
  if (!QFontDatabase::families().contains(calibri, Qt::CaseInsensitive)) return;
  font.setFamily(calibri);
  if (font.pointSizeF() > 0) font.setPointSizeF(font.pointSizeF() + kCalibriMorePoints);
  widget->setFont(font);
}

void SetExplorerTheme(QWidget*) {}

QFont FontOf(const TFontChoice& choice, const QFont& base) {
  QFont font = base;
  if (choice.Face) {
    font = QFont(choice.Face);
    if (choice.FixedPitch) font.setStyleHint(QFont::TypeWriter);
  }
  if (choice.Points > 0) font.setPointSize(choice.Points);
  if (choice.MorePoints != 0 && font.pointSizeF() > 0) {
    font.setPointSizeF(font.pointSizeF() + choice.MorePoints);
  }
  if (choice.Bold) font.setBold(true);
  if (choice.Underline) font.setUnderline(true);
  // A proportional stand-in would break columns laid out with blanks.
  if (choice.FixedPitch && !QFontInfo(font).fixedPitch()) {
    const int points = font.pointSize();
    font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (points > 0) font.setPointSize(points);
  }
  return font;
}

void SetFont(QWidget* widget, const TFontChoice& choice) {
  widget->setFont(FontOf(choice, widget->font()));
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
