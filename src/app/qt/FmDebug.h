// The debug window: one editable pane with the debug log, shown only in
// debug mode.
#pragma once

#include <QDialog>

#include "app/Desktop.h"

class QPlainTextEdit;

namespace quarnel {

class TFmDebug : public QDialog, public TDebugWindowView {
  Q_OBJECT

 public:
  explicit TFmDebug(QWidget* parent = nullptr);

  void Show() override { show(); }
  void ShowModal() override;

  QPlainTextEdit* Memo1 = nullptr;
};

}  // namespace quarnel
