#include "app/qt/FmDebug.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "app/qt/PaneView.h"
#include "base/Logging.h"
#include "ui/qt/VistaFuncs.h"

namespace quarnel {

TFmDebug::TFmDebug(QWidget* parent) : QDialog(parent) {
  setObjectName("FmDebug");
  setWindowTitle(QString::fromUtf8("调试"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName("Memo1");
  Memo1->setFont(NamedFont("Tahoma", 8));
  Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Memo1);
  resize(635, 337);
  CentreOnScreen(this);
  BindPane(Memo1, DebugMemo);
}

}  // namespace quarnel
