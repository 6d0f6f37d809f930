#include "QtTestSupport.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTest>
#include <cstdio>
#include <cstdlib>

#include "app/StartUp.h"
#include "base/Logging.h"

namespace quarnel::test {

std::string SimDrive(int number, int64_t sectors, bool ata, const std::string& extra) {
  const std::string dir = "drives/WDC_WD5000AAKS--00TMA0-12.01C01/";
  std::string json = R"({"number": )" + std::to_string(number) + R"(, "length": )" +
                     std::to_string(sectors * 512) + R"(, "product": "Disk)" +
                     std::to_string(number) + R"(  ", "revision": " R1 ", "serial": "SN)" +
                     std::to_string(number) + "\"";
  if (ata) {
    json += R"(, "bus_type": 11, "identify_file": ")" + dir + R"(identify.bin", "smart_file": ")" +
            dir + R"(smart.bin")";
  }
  return json + extra + "}";
}

std::string SimMachine(const std::vector<std::string>& drives, int major) {
  std::string json =
      R"({"platform": {"platform_id": 2, "major": )" + std::to_string(major) +
      R"(, "minor": 1, "build": 7601, "service_pack": "", "wow64": true}, "drives": [)";
  for (size_t i = 0; i < drives.size(); ++i) json += (i ? "," : "") + drives[i];
  return json + "]}";
}

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

std::vector<std::string> MainLogTexts() {
  std::vector<std::string> texts;
  const size_t stamp = DateTimeText().size() + 3;
  for (const std::string& line : Log_BenchMark.Lines()) {
    texts.push_back(line.size() >= stamp ? line.substr(stamp) : line);
  }
  return texts;
}

}  // namespace quarnel::test
