#include "QtTestSupport.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTest>

namespace quarnel::test {

TDataFolder::TDataFolder(const char* acceptance) {
  qputenv("XDG_DATA_HOME", dir_.path().toLocal8Bit());
  if (acceptance) {
    QFile file(AcceptanceFile());
    if (file.open(QIODevice::WriteOnly)) file.write(acceptance);
  }
}

QString TDataFolder::AcceptanceFile() const { return dir_.path() + "/brovix.4.40.agreement"; }

QString TDataFolder::Read() const {
  QFile file(AcceptanceFile());
  if (!file.open(QIODevice::ReadOnly)) return "<missing>";
  return QString::fromUtf8(file.readAll());
}

TModalScript::TModalScript() {
  connect(&timer_, &QTimer::timeout, this, &TModalScript::Poll);
  timer_.start(20);
}

void TModalScript::Poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (!modal) return;
  if (modal != last_) {
    last_ = modal;
    Seen << QString(modal->metaObject()->className()) + ":" + modal->windowTitle();
  }
  if (scheduled_ || handlers_.empty() || !modal->isVisible()) return;
  // A timer does not fire again while its own slot runs, so the handler runs
  // from a timer of its own: when it opens the next modal window, the poll
  // goes on inside that window's loop and a later handler answers it.
  scheduled_ = true;
  QTimer::singleShot(0, this, [this] {
    scheduled_ = false;
    QWidget* current = QApplication::activeModalWidget();
    if (!current || handlers_.empty()) return;
    THandler handler = std::move(handlers_.front());
    handlers_.pop_front();
    if (handler(current)) {
      last_ = nullptr;
    } else {
      handlers_.push_front(std::move(handler));
    }
  });
}

bool WaitFor(const std::function<bool()>& done, int ms) {
  QDeadlineTimer deadline(ms);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QTest::qWait(10);
  }
  return true;
}

}  // namespace quarnel::test
