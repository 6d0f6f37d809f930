// The debug window: one editable pane with the debug log, shown only in
// debug mode.
#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace quarnel {

class TFmDebug : public QDialog {
  Q_OBJECT

 public:
  explicit TFmDebug(QWidget* parent = nullptr);

  QPlainTextEdit* Memo1 = nullptr;
};

}  // namespace quarnel
