// The drive chooser's wiring: rows, pre-selection, the mouse and keys, the
// links, and the ways out that end the program. Its rules are tested in the
// core against a fake chooser.
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "QtTestSupport.h"
#include "app/MainState.h"
#include "app/qt/Desktop.h"
#include "app/qt/FmMain.h"
#include "base/System.h"
#include "devices/DeviceScan.h"
#include "devices/DeviceTable.h"
#include "devices/DriveChoose.h"
#include "devices/qt/FmChoose.h"
#include "ui/UiSeam.h"
#include "ui/qt/LinkLabel.h"
#include "ui/qt/QtUi.h"
#include "support/SimSupport.h"

using namespace quarnel;
using namespace quarnel::test;

class TestChooser : public QObject {
  Q_OBJECT

 private:
  // The chooser over a scanned machine, with the Qt seam for its messages.
  struct TChooser {
    explicit TChooser(const std::vector<std::string>& drives)
        : host(UseSimHost(SimMachine(drives))) {
      ScanDevices();
      SetUi(&ui);
    }
    ~TChooser() { SetUi(nullptr); }
    SimHost& host;
    TQtUi ui;
    TFmChoose dialog;
  };

 private slots:
  void ThreeDrivesThirdPreselectedEnterAcceptsIt() {
    TChooser c({SimDrive(0, 1 << 20), SimDrive(1, 1 << 21), SimDrive(4, 1 << 22)});
    TModalScript script;
    bool checked = false;
    script.Then([&](QWidget* w) {
      if (w != &c.dialog) return false;
      QTreeWidget* list = c.dialog.DriveList;
      checked = list->topLevelItemCount() == 3 && list->currentItem() == list->topLevelItem(2) &&
                list->topLevelItem(2)->isSelected() && c.dialog.btContinue->isEnabled() &&
                list->hasFocus();
      QTest::keyClick(list, Qt::Key_Return);
      return true;
    });
    QVERIFY(ChooseDevice(c.dialog));
    QVERIFY(checked);
    QCOMPARE(SelectedDevice, 3);
    QVERIFY(!ProgramEndRequested());
    QCOMPARE(c.dialog.StatusPanel->text(), QString::fromUtf8("找到磁盘: 3"));
  }

  void RowsShowTrimmedModelWithVolumesAndUntrimmedFirmware() {
    const std::string volumes =
        R"(, "volumes": [{"root": "C:", "partition": 1}, {"root": "D:", "partition": 2}])";
    TChooser c({SimDrive(0, 1000000, false, volumes), SimDrive(1, 65535, false)});
    QTreeWidget* list = c.dialog.DriveList;
    TModalScript script;
    QStringList first, second;
    script.Then([&](QWidget*) {
      for (int col = 0; col < 6; ++col) {
        first << list->topLevelItem(0)->text(col);
        second << list->topLevelItem(1)->text(col);
      }
      c.dialog.close();
      return true;
    });
    ChooseDevice(c.dialog);
    QCOMPARE(first.at(1), QString("Disk0 (C: D:)"));
    QCOMPARE(second.at(1), QString("Disk1"));
    QCOMPARE(first.at(2), ToQt(DeviceTable[1].IdentifyData.FW));
    QCOMPARE(first.at(3), ToQt(DeviceTable[1].IdentifyData.SN));
    QCOMPARE(first.at(4), QString("1000000"));
    QCOMPARE(first.at(5), QString("512 MB"));
    QCOMPARE(list->headerItem()->text(0), QString::fromUtf8("总线"));
    QCOMPARE(list->headerItem()->text(5), QString::fromUtf8("容量"));
    QCOMPARE(list->columnWidth(1), 220);
  }

  void ClickBesideTheRowsDisablesContinueAndDoubleClickThereDoesNothing() {
    TChooser c({SimDrive(0, 1 << 20), SimDrive(1, 1 << 20)});
    TModalScript script;
    bool cleared = false, stillOpen = false;
    script.Then([&](QWidget*) {
      QWidget* viewport = c.dialog.DriveList->viewport();
      const QPoint empty(20, viewport->height() - 10);
      QTest::mouseClick(viewport, Qt::LeftButton, {}, empty);
      cleared = c.dialog.DriveList->selectedItems().isEmpty() && !c.dialog.btContinue->isEnabled();
      QTest::mouseDClick(viewport, Qt::LeftButton, {}, empty);
      stillOpen = c.dialog.isVisible() && !DeviceChosen;
      // A click on a row enables it again; a double click there accepts.
      const QRect row = c.dialog.DriveList->visualItemRect(c.dialog.DriveList->topLevelItem(0));
      QTest::mouseClick(viewport, Qt::LeftButton, {}, row.center());
      QTest::mouseDClick(viewport, Qt::LeftButton, {}, row.center());
      return true;
    });
    QVERIFY(ChooseDevice(c.dialog));
    QVERIFY(cleared);
    QVERIFY(stillOpen);
    QCOMPARE(SelectedDevice, 1);
  }

  void MakerLinkTurnsRedWhilePressed() {
    TChooser c({SimDrive(0, 1 << 20)});
    auto colour = [&] { return c.dialog.Label1->palette().color(QPalette::WindowText); };
    QCOMPARE(colour(), QColor(0, 0, 255));
    // A press outside the label is no click: the address is not opened.
    QTest::mousePress(c.dialog.Label1, Qt::LeftButton);
    QCOMPARE(colour(), QColor(255, 0, 0));
    QTest::mouseRelease(c.dialog.Label1, Qt::LeftButton, {}, QPoint(-5, -5));
    QCOMPARE(colour(), QColor(0, 0, 255));
    QCOMPARE(c.dialog.lbCopyright->palette().color(QPalette::WindowText), QColor(128, 128, 128));
    QVERIFY(c.dialog.lbDiskManagement->font().underline());
  }

  // Without administrator rights every open is refused: the status line and,
  // over the chooser, a message box say how to get them; the program runs on.
  void MissingRightsAreShownInTheStatusLineAndAMessage() {
    const std::string refused = R"(, "faults": {"open": 5})";
    TChooser c({SimDrive(0, 1 << 20, true, refused), SimDrive(1, 1 << 20, true, refused)});
    TModalScript script;
    QString text, title;
    bool overChooser = false;
    script.Then([&](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (!box) return false;
      text = box->text();
      title = box->windowTitle();
      overChooser = c.dialog.isVisible();
      box->accept();
      return true;
    });
    script.Then([&](QWidget* w) {
      if (w != &c.dialog) return false;
      c.dialog.close();
      return true;
    });
    QVERIFY(!ChooseDevice(c.dialog));
    const QString hint = ToQt(AdminRightsHint());
    QCOMPARE(c.dialog.StatusPanel->text(),
             QString::fromUtf8("找到磁盘: 0    需要管理员权限才能打开磁盘：") + hint);
    QCOMPARE(text, QString::fromUtf8("需要管理员权限才能打开磁盘。\n\n") + hint +
                       QString::fromUtf8("。"));
    QCOMPARE(title, QString("Quarnel 4.40"));
    QVERIFY(overChooser);
  }

  // The whole start-up: the way out of the chooser ends the program before
  // any drive is opened.
  void EscapeAndCloseBoxEndTheProgramWithoutOpeningADrive_data() {
    QTest::addColumn<bool>("escape");
    QTest::newRow("Esc in the list") << true;
    QTest::newRow("close box") << false;
  }
  void EscapeAndCloseBoxEndTheProgramWithoutOpeningADrive() {
    QFETCH(bool, escape);
    SimHost& host = UseSimHost(SimMachine({SimDrive(0, 1 << 20), SimDrive(1, 1 << 20)}));
    TDataFolder data;
    TQtWindows windows;
    TDesktop desktop(windows, {}, "/opt/quarnel/quarnel");
    TModalScript script;
    script.Then([&](QWidget* w) {
      if (w != windows.FmChoose) return false;
      if (escape) {
        QTest::keyClick(windows.FmChoose->DriveList, Qt::Key_Escape);
      } else {
        windows.FmChoose->close();
      }
      return true;
    });
    QVERIFY(!desktop.Show());
    QVERIFY(!windows.FmMain->isVisible());
    QVERIFY(ProgramEndRequested());
    QCOMPARE(ProgramExitCode(), 0);
    QVERIFY(!DeviceChosen);
    QCOMPARE(DeviceHandle, kInvalidHandle);
    QCOMPARE(host.OpenHandleCount(), size_t(0));
    QVERIFY(windows.FmMain->Log_Details->toPlainText().isEmpty());
  }
};

QTEST_MAIN(TestChooser)
#include "ChooserTest.moc"
