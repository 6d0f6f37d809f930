#include "app/qt/PaneView.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>
#include <memory>

#include "base/Logging.h"
#include "ui/qt/QtUi.h"

namespace quarnel {

void BindPane(QPlainTextEdit* view, TLogPane& pane, TPaneScroll scroll) {
  QStringList lines;
  for (const std::string& line : pane.Lines()) lines << ToQt(line);
  view->setPlainText(lines.join('\n'));
  // The first block of a report still being written, or -1.
  auto reportStart = std::make_shared<int>(-1);
  pane.SetListener([view, scroll, reportStart](const std::string& line) {
    QScrollBar* bar = view->verticalScrollBar();
    if (scroll == TPaneScroll::NewestReport) {
      if (*reportStart < 0) {
        const bool empty = view->document()->isEmpty();
        *reportStart = empty ? 0 : view->document()->blockCount();
        // A report is written without a pause for events: once they run
        // again, it is complete. Without wrapping, the bar counts lines.
        QTimer::singleShot(0, view, [view, reportStart] {
          view->verticalScrollBar()->setValue(*reportStart);
          *reportStart = -1;
        });
      }
      view->appendPlainText(ToQt(line));
      return;
    }
    view->appendPlainText(ToQt(line));
    bar->setValue(bar->maximum());
  });
  TLogPane* bound = &pane;
  QObject::connect(view, &QObject::destroyed, [bound] { bound->SetListener(nullptr); });
}

}  // namespace quarnel
