#include "app/qt/PaneView.h"

#include <QPlainTextEdit>
#include <QScrollBar>

#include "base/Logging.h"
#include "ui/qt/QtUi.h"

namespace quarnel {

void BindPane(QPlainTextEdit* view, TLogPane& pane) {
  QStringList lines;
  for (const std::string& line : pane.Lines()) lines << ToQt(line);
  view->setPlainText(lines.join('\n'));
  pane.SetListener([view](const std::string& line) {
    view->appendPlainText(ToQt(line));
    QScrollBar* bar = view->verticalScrollBar();
    bar->setValue(bar->maximum());
  });
  TLogPane* bound = &pane;
  QObject::connect(view, &QObject::destroyed, [bound] { bound->SetListener(nullptr); });
}

}  // namespace quarnel
