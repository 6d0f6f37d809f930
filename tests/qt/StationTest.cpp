// The erase station's window on the offscreen platform: several drives
// ticked and erased at once, each run in its own process, one failing, one
// vanishing, one stopped on its own, one plugged in meanwhile, and the
// table's states and records.
#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>

#include "QtTestSupport.h"
#include "station/qt/FmStation.h"
#include "ui/Catalogue.h"
#include "ui/qt/QtUi.h"

using namespace quarnel;
using namespace quarnel::test;

namespace {

const char* const kRack = R"({"drives": [
  {"number": 0, "length": 33554432, "product": "GOOD", "serial": "GOOD0001"},
  {"number": 1, "length": 33554432, "product": "BAD", "serial": "BAD00002",
   "faults": {"write_errors": [{"offset": 1048576, "code": 23}]}},
  {"number": 2, "length": 33554432, "product": "GONE", "serial": "GONE0003",
   "faults": {"vanish_at": 8388608}},
  {"number": 3, "length": 33554432, "product": "SLOW", "serial": "SLOW0004", "write_mb_per_s": 1},
  {"number": 4, "length": 33554432, "product": "IDLE", "serial": "IDLE0005"},
  {"number": 5, "length": 33554432, "product": "LATE", "serial": "LATE0006",
   "attach_after_seconds": 1}
]})";

QString Cell(QTreeWidget* table, int row, int column) {
  return table->topLevelItem(row)->text(column);
}

}  // namespace

class TestStation : public QObject {
  Q_OBJECT

 private slots:
  void TickedDrivesRunAtOnceAndEachEndsOnItsOwn() {
    QTemporaryDir dir;
    const std::string machine = (dir.path() + "/rack.json").toStdString();
    std::ofstream(machine) << kRack;
    const std::string records = (dir.path() + "/records").toStdString();
    std::filesystem::create_directory(records);
    UseSimHost(kRack);
    TDataFolder data;
    TQtUi ui;
    TStationSetup setup;
    setup.MemberProgram = QUARNEL_CLI_PATH;
    setup.Host.Simulate = true;
    setup.Host.SimulateFile = machine;
    setup.RecordDir = records;
    TFmStation window(ui, setup);
    window.show();
    QTreeWidget* table = window.DriveTable;
    QCOMPARE(table->topLevelItemCount(), 5);
    QCOMPARE(Cell(table, 0, 8), QString::fromUtf8("空闲"));
    QVERIFY(!window.btStart->isEnabled());
    for (int row = 0; row < 4; ++row) table->topLevelItem(row)->setCheckState(0, Qt::Checked);
    QVERIFY(window.btStart->isEnabled());
    window.rbMode[1]->setChecked(true);  // the quick wipe
    window.rbMode[0]->setChecked(true);  // and back: the full run with its read-back
    QVERIFY(window.cbVerify->isChecked());

    // One question names every ticked drive and none other.
    TModalScript script;
    QString question;
    script.Then([&](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (!box) return false;
      question = box->informativeText();
      box->button(QMessageBox::Yes)->click();
      return true;
    });
    window.btStart->click();
    for (const char* serial : {"GOOD0001", "BAD00002", "GONE0003", "SLOW0004"}) {
      QVERIFY2(question.contains(serial), qPrintable(question));
    }
    QVERIFY(!question.contains("IDLE0005"));
    QVERIFY(question.contains(QString::fromUtf8("擦除后校验")));

    // The slow one is stopped on its own once it runs.
    QVERIFY(WaitFor([&] { return Cell(table, 3, 8) == QString::fromUtf8("擦除中"); }, 20000));
    table->clearSelection();
    table->topLevelItem(3)->setSelected(true);
    QVERIFY(window.btStop->isEnabled());
    window.btStop->click();
    QVERIFY(WaitFor([&] { return !window.Station().Busy(); }, 60000));

    QCOMPARE(Cell(table, 0, 12), QString::fromUtf8("完成"));
    QCOMPARE(Cell(table, 1, 12), QString::fromUtf8("失败"));
    QCOMPARE(Cell(table, 2, 12), QString::fromUtf8("已中止"));
    QCOMPARE(Cell(table, 3, 12), QString::fromUtf8("已取消"));
    QCOMPARE(Cell(table, 4, 12), QString());
    QCOMPARE(Cell(table, 4, 8), QString::fromUtf8("空闲"));
    for (int row = 0; row < 4; ++row) {
      QCOMPARE(Cell(table, row, 8), QString::fromUtf8("已结束"));
      const std::string file = window.Station().Rows()[static_cast<size_t>(row)].Drive.RecordFile;
      QVERIFY2(std::filesystem::exists(file), file.c_str());
      QVERIFY(!Cell(table, row, 13).isEmpty());
    }
    // A drive plugged in while the window is open gets its row.
    QVERIFY(WaitFor([&] { return table->topLevelItemCount() == 6; }, 5000));
    QCOMPARE(Cell(table, 5, 2), QString("LATE0006"));
    QCOMPARE(Cell(table, 5, 8), QString::fromUtf8("空闲"));
    // A finished drive can be ticked again; the one still idle too.
    QVERIFY(table->topLevelItem(0)->flags() & Qt::ItemIsUserCheckable);
    QVERIFY(!window.btStop->isEnabled());
  }
};

QTEST_MAIN(TestStation)
#include "StationTest.moc"
