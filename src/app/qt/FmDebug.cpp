#include "app/qt/FmDebug.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "app/qt/PaneView.h"
#include "base/Logging.h"
#include "ui/qt/VistaFuncs.h"

namespace quarnel {

TFmDebug::TFmDebug(QWidget* parent) : QDialog(parent) {
  setObjectName("FmDebug");
  setWindowTitle(QString::fromUtf8(debugwindow::kCaption));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName("Memo1");
  SetFont(Memo1, debugwindow::kFont);
  Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Memo1);
  resize(SizeOf(debugwindow::kClient));
  CentreOnScreen(this);
  BindPane(Memo1, DebugMemo);
}

void TFmDebug::ShowModal() {
  hide();
  exec();
}

}  // namespace quarnel
