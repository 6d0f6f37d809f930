#include "ui/qt/LinkLabel.h"

#include <QMouseEvent>
#include <QPainter>

#include "ui/qt/VistaFuncs.h"

namespace quarnel {

TLinkLabel::TLinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setCursor(Qt::PointingHandCursor);
  // Device texts never reach a link, but no text of it is markup either.
  setTextFormat(Qt::PlainText);
}

void TLinkLabel::SetColours(const TLinkColours& colours) {
  SetTextColor(this, colours.Rest);
  connect(this, &TLinkLabel::entered, this, [this, colours] { SetTextColor(this, colours.Hover); });
  connect(this, &TLinkLabel::left, this, [this, colours] { SetTextColor(this, colours.Rest); });
  connect(this, &TLinkLabel::leftPressed, this,
          [this, colours] { SetTextColor(this, colours.Pressed); });
  connect(this, &TLinkLabel::leftReleased, this,
          [this, colours] { SetTextColor(this, colours.Rest); });
}

void TLinkLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit leftPressed();
  QLabel::mousePressEvent(event);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    emit leftReleased();
    if (rect().contains(event->position().toPoint())) emit clicked();
  }
  QLabel::mouseReleaseEvent(event);
}

void TLinkLabel::enterEvent(QEnterEvent* event) {
  emit entered();
  QLabel::enterEvent(event);
}

void TLinkLabel::leaveEvent(QEvent* event) {
  emit left();
  QLabel::leaveEvent(event);
}

void TElidedLabel::SetFullText(const QString& text) {
  setText(text);
  // A tool tip is read as markup when it looks like some: escaped, and with
  // its blanks kept, a drive's "<b>" shows as written.
  setToolTip("<p style='white-space:pre'>" + text.toHtmlEscaped() + "</p>");
}

void TElidedLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect area = contentsRect();
  const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawText(area, static_cast<int>(alignment()), shown);
}

}  // namespace quarnel
