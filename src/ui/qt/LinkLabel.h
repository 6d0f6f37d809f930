// A label that acts on the mouse: clicks, presses and releases of the left
// button, and the pointer entering and leaving it.
#pragma once

#include <QLabel>

#include "ui/Catalogue.h"

namespace quarnel {

class TLinkLabel : public QLabel {
  Q_OBJECT

 public:
  explicit TLinkLabel(const QString& text = QString(), QWidget* parent = nullptr);

  /// The label's colours at rest, under the pointer and while pressed.
  void SetColours(const TLinkColours& colours);

 signals:
  void clicked();
  void leftPressed();
  void leftReleased();
  void entered();
  void left();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
};

/// A label that shortens its text with "…" where it does not fit, and shows
/// the whole text as its tool tip; both as plain text, never as markup.
class TElidedLabel : public QLabel {
  Q_OBJECT

 public:
  explicit TElidedLabel(QWidget* parent = nullptr) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
  }
  void SetFullText(const QString& text);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace quarnel
