// The main window: the start-up inside its first show, the busy switch
// around a SMART read, and the format page's confirmation, stop and close.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTextDocument>
#include <QTreeWidget>
#include <memory>

#include "QtTestSupport.h"
#include "agreement/LicenseAgreement.h"
#include "agreement/qt/FmLicenseAgreement.h"
#include "app/MainState.h"
#include "app/qt/Desktop.h"
#include "app/qt/FmDebug.h"
#include "app/qt/FmMain.h"
#include "base/Logging.h"
#include "base/System.h"
#include "base/Text.h"
#include "devices/DeviceTable.h"
#include "devices/qt/FmChoose.h"
#include "erase/EraseRecord.h"
#include "erase/FormatEngine.h"
#include "frontend/HostChoice.h"
#include "record/EraseRecordFile.h"
#include "support/SimSupport.h"
#include "ui/UiSeam.h"
#include "ui/qt/LinkLabel.h"
#include "ui/qt/QtUi.h"

using namespace quarnel;
using namespace quarnel::test;

namespace {

// A started program: the given machine, the agreement accepted, the first
// drive chosen.
struct TStarted {
  TStarted(const std::string& machine, std::vector<std::string> args = {})
      : host(UseSimHost(machine)), desktop(windows, std::move(args), "/opt/quarnel/quarnel") {
    script.Then([this](QWidget* w) {
      if (w == windows.FmDebug) {
        debugWasModal = true;
        windows.FmDebug->close();
        return false;  // the chooser comes next, for this same handler
      }
      if (w != windows.FmChoose) return false;
      chooserSawDebugHidden = !windows.FmDebug->isVisible();
      windows.FmChoose->DriveList->setCurrentItem(windows.FmChoose->DriveList->topLevelItem(0));
      windows.FmChoose->btContinue->click();
      return true;
    });
    desktop.Show();
  }
  TFmMain& Main() { return *windows.FmMain; }
  std::array<bool, 4> Enabled() {
    return {Main().btRunBenchmarks->isEnabled(), Main().btGetSmart->isEnabled(),
            Main().cbQuickWipe->isEnabled(), Main().btStop->isEnabled()};
  }

  SimHost& host;
  TDataFolder data;
  TModalScript script;
  TQtWindows windows;
  TDesktop desktop;
  bool debugWasModal = false;
  bool chooserSawDebugHidden = false;
};

std::string Machine(const std::string& extra = "", int64_t sectors = 1 << 21) {
  return SimMachine({SimDrive(0, sectors, true, extra)});
}

// Answers the format confirmation with the given button.
void AnswerConfirmation(TModalScript& script, QMessageBox::StandardButton button,
                        QString* seen = nullptr) {
  script.Then([=](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    if (!box) return false;
    if (seen) {
      *seen = box->windowTitle() + "|" + box->text() + "|" + box->informativeText() + "|" +
              QString::number(box->icon()) + "|" + QString::number(box->standardButtons());
    }
    box->button(button)->click();
    return true;
  });
}

// Acts once, from inside the run's message pump, when the run is under way.
class TDuringRun {
 public:
  TDuringRun(TFmMain& main, std::function<void()> act) : main_(main), act_(std::move(act)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (done_ || !main_.btStop->isEnabled() || main_.lbCurrentPosition->text().isEmpty()) return;
      done_ = true;
      act_();
    });
    timer_.start(20);
  }
  bool Done() const { return done_; }

 private:
  TFmMain& main_;
  std::function<void()> act_;
  QTimer timer_;
  bool done_ = false;
};

std::vector<std::string> After(const std::vector<std::string>& lines, const std::string& marker) {
  auto it = std::find(lines.begin(), lines.end(), marker);
  return it == lines.end() ? std::vector<std::string>{}
                           : std::vector<std::string>(it + 1, lines.end());
}

const QColor kPaused(232, 184, 0);

}  // namespace

class TestMainWindow : public QObject {
  Q_OBJECT

 private slots:
  void DebugWindowIsModalBeforeTheChooserAndTitlesHaveFourBlanks() {
    TStarted s(Machine(), {"--DeBuG", "--simulate"});
    QVERIFY(s.debugWasModal);
    QVERIFY(s.chooserSawDebugHidden);
    QCOMPARE(s.script.Seen, QStringList({QString::fromUtf8("quarnel::TFmDebug:调试"),
                                         "quarnel::TFmChoose:Quarnel 4.40"}));
    QVERIFY(s.Main().isVisible());
    QCOMPARE(s.Main().windowTitle(), QString("Quarnel 4.40    "));
    QCOMPARE(s.Main().StatusPanels[0]->text(), QString("Quarnel 4.40    "));
    QCOMPARE(s.windows.FmChoose->lbProgramName->text(), QString("QUARNEL 4.40    "));
    const auto& debug = DebugMemo.Lines();
    QVERIFY(debug.size() > 3);
    QCOMPARE(debug[0], std::string("调试窗口"));
    QVERIFY(debug[1].ends_with("   Debug mode activated"));
    QVERIFY(s.windows.FmDebug->Memo1->toPlainText().contains("Program Version: Quarnel 4.40    "));
  }

  void WithoutDebugFirstTheChooserThenTheDrivesDetails() {
    TStarted s(Machine(), {"--simulate", "--debug"});
    QVERIFY(!s.debugWasModal);
    QCOMPARE(s.script.Seen, QStringList({"quarnel::TFmChoose:Quarnel 4.40"}));
    QCOMPARE(DebugMemo.Lines(), std::vector<std::string>{"调试窗口"});
    QVERIFY(!s.windows.FmDebug->isVisible());
    QVERIFY(s.Main().isVisible());
    QVERIFY(DeviceHandle != kInvalidHandle);
    QCOMPARE(s.Main().lbDiskName->text(), ToQt(DeviceDescription));
    QCOMPARE(s.Main().StatusPanels[1]->text(), ToQt(DeviceDescription));
    QCOMPARE(s.Main().pages->currentIndex(), 0);
    QVERIFY(s.Main().Log_Details->toPlainText().contains(ToQt(DeviceDescription)));
    QCOMPARE(s.Main().lbDiskName->textFormat(), Qt::PlainText);
    QCOMPARE(MainLogTexts(),
             (std::vector<std::string>{" * * * * *  警告 * * * * * ", "在低级格式化过程中",
                                       "所有的数据将被完全和不可逆地擦除！"}));
    QCOMPARE(s.Main().Log_BenchMark->document()->blockCount(), 3);
  }

  void SmartReadDisablesTheThreeControlsUntilTheReportIsWritten_data() {
    QTest::addColumn<bool>("ata");
    QTest::newRow("drive with SMART") << true;
    QTest::newRow("drive without SMART") << false;
  }
  void SmartReadDisablesTheThreeControlsUntilTheReportIsWritten() {
    QFETCH(bool, ata);
    TStarted s(SimMachine({SimDrive(0, 1 << 21, ata)}));
    QVERIFY(s.Main().isVisible());
    std::vector<std::array<bool, 4>> during;
    connect(s.Main().Log_Smart, &QPlainTextEdit::textChanged,
            [&] { during.push_back(s.Enabled()); });
    s.Main().pages->setCurrentIndex(2);
    s.Main().btGetSmart->click();
    QVERIFY(during.size() > 5);
    for (const auto& e : during) QVERIFY(e == (std::array<bool, 4>{false, false, false, false}));
    QVERIFY(s.Enabled() == (std::array<bool, 4>{true, true, true, false}));
    QCOMPARE(s.Main().Log_Smart->toPlainText().contains(QString::fromUtf8("此设备不支持 SMART。")),
             !ata);
  }

  void EachSmartReadShowsTheStartOfItsReport() {
    TStarted s(Machine());
    s.Main().resize(800, 500);
    s.Main().pages->setCurrentIndex(2);
    QScrollBar* bar = s.Main().Log_Smart->verticalScrollBar();
    s.Main().btGetSmart->click();
    QVERIFY(WaitFor([&] { return bar->value() == 0 && bar->maximum() > 0; }, 2000));
    const int firstReportLines = s.Main().Log_Smart->document()->blockCount();
    s.Main().btGetSmart->click();
    // The second report is appended below the first, which stays.
    QVERIFY(WaitFor([&] { return bar->value() == firstReportLines; }, 2000));
    QCOMPARE(s.Main().Log_Smart->document()->blockCount(), 2 * firstReportLines);
  }

  void ReportPanesUseAFixedPitchNinePointFont() {
    TStarted s(Machine());
    for (QPlainTextEdit* pane : {s.Main().Log_Details, s.Main().Log_Smart}) {
      QVERIFY(QFontInfo(pane->font()).fixedPitch());
      QCOMPARE(pane->font().pointSize(), 9);
      QVERIFY(pane->isReadOnly());
      QCOMPARE(pane->lineWrapMode(), QPlainTextEdit::NoWrap);
    }
    QVERIFY(s.Main().Log_BenchMark->isReadOnly());
  }

  void CancelInTheConfirmationChangesNothing() {
    TStarted s(Machine());
    s.Main().cbQuickWipe->setChecked(true);
    const auto lines = Log_BenchMark.Lines();
    const auto enabled = s.Enabled();
    QString seen;
    AnswerConfirmation(s.script, QMessageBox::Cancel, &seen);
    s.Main().btRunBenchmarks->click();
    QCOMPARE(seen,
             QString::fromUtf8("警告|所选设备上的所有数据将丢失|你真的确认你要删除 "
                               "该设备上的所有数据吗?\n\n") +
                 ToQt(DeviceDescription) +
                 QString::fromUtf8("\n\n健康评估: 警告 (属性 5 (重新配置的扇区数): 63 个坏扇区)") +
                 "|" + QString::number(QMessageBox::Warning) + "|" +
                 QString::number(QMessageBox::Yes | QMessageBox::Cancel));
    QCOMPARE(Log_BenchMark.Lines(), lines);
    QVERIFY(s.Enabled() == enabled);
    QVERIFY(s.Main().cbQuickWipe->isChecked());
    QVERIFY(s.host.Drive(0)->Written.empty());
    QVERIFY(s.Main().isVisible());
  }

  void QuickWipeBoxIsReadWhenTheButtonIsPressed() {
    TStarted s(Machine());
    s.Main().cbQuickWipe->setChecked(true);
    AnswerConfirmation(s.script, QMessageBox::Yes);
    s.Main().btRunBenchmarks->click();
    const auto& written = s.host.Drive(0)->Written;
    const int64_t length = s.host.Drive(0)->Length;
    QCOMPARE(written.size(), size_t(2));  // the start, and the end's backup table
    QCOMPARE(written[0], (std::pair<int64_t, int64_t>(0, kQuickWipeBytes)));
    QCOMPARE(written[1], (std::pair<int64_t, int64_t>(length - kQuickWipeTailBytes, length)));
    QCOMPARE(MainLogTexts().back(), std::string("别忘了创建一个新的分区。"));
    QCOMPARE(s.Main().pbCurrentTask->value(), 100);
  }

  void VerifyBoxIsReadAtThePressAndBusyDuringTheRun() {
    TStarted s(Machine(R"(, "write_mb_per_s": 400)", 1 << 18));
    SetMainEraseRecordWriter(EraseRecordWriter("", true));
    s.Main().cbVerify->setChecked(true);
    // With a record, the form before the run: its operator goes into it.
    s.script.Then([](QWidget* w) {
      if (w->objectName() != "FieldsDialog") return false;
      w->findChild<QLineEdit*>("field0")->setText(QString::fromUtf8("王芳"));
      w->findChild<QPushButton*>("ok")->click();
      return true;
    });
    AnswerConfirmation(s.script, QMessageBox::Yes);
    bool enabledDuringRun = true;
    TDuringRun during(s.Main(), [&] {
      enabledDuringRun = s.Main().cbVerify->isEnabled();
      s.Main().cbVerify->setChecked(false);  // too late: it was read at the press
    });
    s.Main().btRunBenchmarks->click();
    QVERIFY(during.Done());
    QVERIFY(!enabledDuringRun);
    QVERIFY(s.Main().cbVerify->isEnabled());
    const auto log = MainLogTexts();
    QVERIFY(std::find(log.begin(), log.end(), "校验完成：所有已写入的扇区均为零。") != log.end());
    // The record went to the user's data folder, and the log says where.
    const std::string prefix = "擦除记录已保存: ";
    QVERIFY2(log.back().starts_with(prefix + GetAppDataFolder() + "/quarnel-erase-"),
             log.back().c_str());
    QFile record(QString::fromStdString(log.back().substr(prefix.size())));
    QVERIFY(record.open(QIODevice::ReadOnly));
    QVERIFY(
        QString::fromUtf8(record.readAll()).contains(QString::fromUtf8("\"operator\": \"王芳\"")));
    SetMainEraseRecordWriter(nullptr);
  }

  void SelfTestButtonShowsItsProgressThenTheOutcome() {
    TStarted s(Machine(R"(, "self_test_seconds": 4)"));
    s.Main().pages->setCurrentIndex(2);
    QCOMPARE(s.Main().btSelfTest->text(), QString::fromUtf8("开始自检(&T)"));
    QVERIFY(s.Main().btSelfTest->isEnabled());
    std::vector<int> bar;
    bool smartOffDuring = false;
    connect(s.Main().pbSelfTest, &QProgressBar::valueChanged, [&](int v) {
      bar.push_back(v);
      smartOffDuring = !s.Main().btGetSmart->isEnabled() && s.Main().btSelfTest->isEnabled() &&
                       s.Main().btSelfTest->text() == QString::fromUtf8("中止自检(&T)");
    });
    s.Main().cbSelfTestKind->setCurrentIndex(0);
    s.Main().btSelfTest->click();
    QVERIFY(!bar.empty());
    QVERIFY(smartOffDuring);
    QVERIFY(s.Main().lbSelfTest->text().contains(QString::fromUtf8("完成, 无错误")));
    QVERIFY(s.Main().Log_Smart->toPlainText().contains(QString::fromUtf8("自检日志 (最新在前):")));
    QVERIFY(s.Main().btGetSmart->isEnabled());
    QCOMPARE(s.Main().btSelfTest->text(), QString::fromUtf8("开始自检(&T)"));
  }

  void FirmwareChoiceRunsTheDrivesOwnErase() {
    {
      TStarted none(Machine());
      QVERIFY(!none.Main().cbFirmware->isEnabled());
      QVERIFY(!none.Main().cbFirmwareMethod->isEnabled());
    }
    TStarted s(
        Machine(R"(, "firmware_erase": {"methods": ["block", "crypto"], "seconds": 5})", 1 << 16));
    QVERIFY(s.Main().cbFirmware->isEnabled());
    QCOMPARE(s.Main().cbFirmwareMethod->count(), 2);
    s.Main().cbFirmwareMethod->setCurrentIndex(1);
    s.Main().cbFirmware->setChecked(true);
    QCOMPARE(Ui().FirmwareChoice(), std::string("crypto"));
    AnswerConfirmation(s.script, QMessageBox::Yes);
    s.Main().btRunBenchmarks->click();
    QVERIFY(!s.Main().btStop->isEnabled());
    QVERIFY(s.Main().cbFirmware->isEnabled());
    const auto log = MainLogTexts();
    QVERIFY(std::find(log.begin(), log.end(), "驱动器自身擦除完成。") != log.end());
    QCOMPARE(s.host.Drive(0)->Firmware.EraseCommands, 1);
  }

  void StopDuringAThrottledRun() {
    TStarted s(Machine(R"(, "write_mb_per_s": 4)", 1 << 18));
    const QColor normal = s.Main().pbCurrentTask->palette().color(QPalette::Highlight);
    QVERIFY(normal != kPaused);
    AnswerConfirmation(s.script, QMessageBox::Yes);
    std::array<bool, 4> duringRun{};
    bool stopFocused = false;
    TDuringRun during(s.Main(), [&] {
      duringRun = s.Enabled();
      stopFocused = s.Main().btStop->hasFocus() || Ui().Page().StopFocused;
      QTest::mouseClick(s.Main().btStop, Qt::LeftButton);
    });
    s.Main().pages->setCurrentIndex(1);
    s.Main().btRunBenchmarks->click();
    QVERIFY(during.Done());
    QVERIFY(duringRun == (std::array<bool, 4>{false, false, false, true}));
    QVERIFY(stopFocused);
    const auto tail = After(MainLogTexts(), "格式化中... ");
    QCOMPARE(tail.size(), size_t(4));
    QVERIFY(tail[0].starts_with("平均速度: "));
    QVERIFY(tail[1].starts_with("在偏移时取消操作"));
    QCOMPARE(tail[2], std::string());
    QCOMPARE(tail[3], std::string("别忘了创建一个新的分区。"));
    QVERIFY(s.Enabled() == (std::array<bool, 4>{true, true, true, false}));
    QCOMPARE(s.Main().pbCurrentTask->palette().color(QPalette::Highlight), kPaused);
    QVERIFY(s.host.Drive(0)->Written.back().second < (int64_t(1) << 18) * 512);
    QVERIFY(s.Main().isVisible());
  }

  void CloseDuringARunWaitsForTheRunToEnd() {
    TStarted s(Machine(R"(, "write_mb_per_s": 4)", 1 << 18));
    int closedSignals = 0;
    std::vector<std::string> logAtClose;
    bool handleOpenAtClose = false;
    connect(s.windows.FmMain, &TFmMain::closed, [&] {
      ++closedSignals;
      logAtClose = MainLogTexts();
    });
    AnswerConfirmation(s.script, QMessageBox::Yes);
    bool visibleAfterClose = false;
    TDuringRun during(s.Main(), [&] {
      s.Main().close();
      visibleAfterClose = s.Main().isVisible();
      handleOpenAtClose = DeviceHandle != kInvalidHandle;
    });
    s.Main().btRunBenchmarks->click();
    QVERIFY(during.Done());
    QVERIFY(visibleAfterClose);
    QVERIFY(handleOpenAtClose);
    // The run was stopped, ended cleanly (no write failed on a closed
    // handle), the procedure finished, and only then did the window close.
    QCOMPARE(closedSignals, 1);
    QVERIFY(!s.Main().isVisible());
    QCOMPARE(DeviceHandle, kInvalidHandle);
    QCOMPARE(s.host.OpenHandleCount(), size_t(0));
    const auto tail = After(logAtClose, "格式化中... ");
    QCOMPARE(tail.size(), size_t(4));
    QVERIFY(tail[1].starts_with("在偏移时取消操作"));
    QCOMPARE(tail[3], std::string("别忘了创建一个新的分区。"));
  }

  // A drive's texts are shown as written: a model with markup stays text.
  void DeviceTextsAreNeverMarkup() {
    TStarted s(Machine(R"(, "product": "<b>Bold</b> <img src=x>")"));
    QVERIFY(DeviceDescription.find("<b>Bold</b>") != std::string::npos);
    for (QLabel* label : {s.Main().lbDiskName, static_cast<QLabel*>(s.Main().StatusPanels[1])}) {
      QCOMPARE(label->textFormat(), Qt::PlainText);
      QVERIFY(label->text().contains("<b>Bold</b>"));
    }
    // The tool tip is markup, shown as the text itself.
    QTextDocument tip;
    tip.setHtml(s.Main().StatusPanels[1]->toolTip());
    QCOMPARE(tip.toPlainText(), ToQt(DeviceDescription));
  }

  void CloseWhenIdleClosesTheDriveAtOnce() {
    TStarted s(Machine());
    int closedSignals = 0;
    connect(s.windows.FmMain, &TFmMain::closed, [&] { ++closedSignals; });
    QVERIFY(s.Main().close());
    QCOMPARE(closedSignals, 1);
    QCOMPARE(DeviceHandle, kInvalidHandle);
    QCOMPARE(s.host.OpenHandleCount(), size_t(0));
  }
};

QTEST_MAIN(TestMainWindow)
#include "MainWindowTest.moc"
