// The question dialogs on both host generations, the fatal error, the
// agreement window and its acceptance file, and the disk tool link.
#include <QAbstractButton>
#include <QFile>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTranslator>

#include "QtTestSupport.h"
#include "agreement/LicenseAgreement.h"
#include "agreement/qt/FmLicenseAgreement.h"
#include "base/System.h"
#include "devices/qt/FmChoose.h"
#include "host/linux/LinuxHost.h"
#include "support/SimSupport.h"
#include "ui/TaskDialogs.h"
#include "ui/UiSeam.h"
#include "ui/qt/LinkLabel.h"
#include "ui/qt/QtTranslation.h"
#include "ui/qt/QtUi.h"
#include "ui/qt/VistaFuncs.h"

using namespace quarnel;
using namespace quarnel::test;

namespace {

struct TBoxSeen {
  QString Title, Text, Informative;
  int Icon = -1;
  QStringList Buttons;
};

// Presses the button of `box` whose text (without "&") is `press` and keeps
// what the box showed.
void Answer(TModalScript& script, const QString& press, TBoxSeen* seen) {
  script.Then([=](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    if (!box) return false;
    seen->Title = box->windowTitle();
    seen->Text = box->text();
    seen->Informative = box->informativeText();
    seen->Icon = box->icon();
    QAbstractButton* target = nullptr;
    for (QAbstractButton* b : box->buttons()) {
      seen->Buttons << b->text();
      if (QString(b->text()).remove('&') == press) target = b;
    }
    if (!target) return false;
    target->click();
    return true;
  });
}

}  // namespace

class TestDialogs : public QObject {
  Q_OBJECT

 private:
  TQtUi ui_;

 private slots:
  void init() { SetUi(&ui_); }
  void cleanup() { SetUi(nullptr); }

  void TaskDialogShowsTitleInstructionAndContentAndMapsTheButtons_data() {
    QTest::addColumn<int>("buttons");
    QTest::addColumn<QString>("press");
    QTest::addColumn<int>("result");
    QTest::newRow("Yes") << (kButtonYes | kButtonCancel) << "Yes" << kResultYes;
    QTest::newRow("Cancel") << (kButtonYes | kButtonCancel) << "Cancel" << kResultCancel;
    QTest::newRow("No") << (kButtonYes | kButtonNo) << "No" << kResultNo;
    QTest::newRow("Retry") << (kButtonRetry | kButtonCancel) << "Retry" << kResultRetry;
    QTest::newRow("Close gives Abort") << kButtonClose << "Close" << kResultAbort;
    QTest::newRow("OK") << kButtonOk << "OK" << kResultOk;
  }
  void TaskDialogShowsTitleInstructionAndContentAndMapsTheButtons() {
    QFETCH(int, buttons);
    QFETCH(QString, press);
    QFETCH(int, result);
    UseSimHost(SimMachine({}, 6));
    SetUi(&ui_);
    TModalScript script;
    TBoxSeen seen;
    Answer(script, press, &seen);
    QCOMPARE(ShowTaskDialog("警告", "所选设备上的所有数据将丢失", "问题?\r\n\r\n[0] Disk",
                            kIconWarning, buttons),
             result);
    QCOMPARE(seen.Title, QString::fromUtf8("警告"));
    QCOMPARE(seen.Text, QString::fromUtf8("所选设备上的所有数据将丢失"));
    QCOMPARE(seen.Informative, QString::fromUtf8("问题?\n\n[0] Disk"));
    QCOMPARE(seen.Icon, int(QMessageBox::Warning));
  }

  // Enter in a warning refuses: an erase is never confirmed by a stray key.
  void EnterInAWarningIsCancel() {
    UseSimHost(SimMachine({}, 6));
    SetUi(&ui_);
    TModalScript script;
    script.Then([](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (!box) return false;
      QTest::keyClick(box, Qt::Key_Return);
      return true;
    });
    QCOMPARE(ShowTaskDialog("警告", "m", "c", kIconWarning, kButtonYes | kButtonCancel),
             kResultCancel);
  }

  // With Qt's Chinese texts loaded, as the program does at start, the
  // confirmation's buttons follow the interface.
  void QtsOwnButtonsReadChinese() {
    UseSimHost(SimMachine({}, 6));
    SetUi(&ui_);
    QTranslator qtTexts;
    QVERIFY(LoadQtTranslation(qtTexts));
    TModalScript script;
    TBoxSeen seen;
    Answer(script, QString::fromUtf8("取消"), &seen);
    const int result = ShowTaskDialog("警告", "m", "c", kIconWarning, kButtonYes | kButtonCancel);
    QCoreApplication::removeTranslator(&qtTexts);
    QCOMPARE(result, kResultCancel);
    QCOMPARE(seen.Buttons.size(), 2);
    QVERIFY2(seen.Buttons.contains(QString::fromUtf8("是(&Y)")),
             qPrintable(seen.Buttons.join("|")));
  }

  // A Linux kernel of the 5 series reports major version 5, which on Windows
  // would mean the older dialogs: the Qt desktop has the task dialog's parts
  // on every kernel, so the confirmation keeps its main instruction.
  void OnA5xKernelTheConfirmationKeepsItsMainInstruction() {
    const TPlatformVersion kernel = PlatformFromUname("Linux", "5.15.0-91-generic", "x86_64");
    QCOMPARE(kernel.Major, 5u);
    UseSimHost(SimMachine({}, static_cast<int>(kernel.Major)));
    SetUi(&ui_);
    QVERIFY(IsVistaOrLater());
    TModalScript script;
    TBoxSeen seen;
    Answer(script, "Cancel", &seen);
    QCOMPARE(ShowTaskDialog("警告", "所选设备上的所有数据将丢失", "问题?", kIconWarning,
                            kButtonYes | kButtonCancel),
             kResultCancel);
    QCOMPARE(seen.Title, QString::fromUtf8("警告"));
    QCOMPARE(seen.Text, QString::fromUtf8("所选设备上的所有数据将丢失"));
    QCOMPARE(seen.Informative, QString::fromUtf8("问题?"));
  }

  void FatalErrorShowsTheErrorBoxThenAsksForTheEnd() {
    UseSimHost(SimMachine({}));
    SetUi(&ui_);
    TModalScript script;
    TBoxSeen seen;
    Answer(script, "OK", &seen);
    FatalError("打开设备错误: Access is denied", "错误");
    QCOMPARE(seen.Title, QString::fromUtf8("错误"));
    QCOMPARE(seen.Text, QString::fromUtf8("打开设备错误: Access is denied"));
    QCOMPARE(seen.Icon, int(QMessageBox::Critical));
    QVERIFY(ProgramEndRequested());
  }

  // On every kernel, whatever its version number.
  void CalibriOnlyWhereInstalled() {
    UseSimHost(SimMachine({}, 5));
    QWidget w;
    SetIconTitleFont(&w);
    const QFont before = w.font();
    UseCalibriFont(&w);
    if (!QFontDatabase::families().contains("Calibri", Qt::CaseInsensitive)) {
      QCOMPARE(w.font(), before);
    } else {
      QCOMPARE(w.font().family(), QString("Calibri"));
      QCOMPARE(w.font().pointSizeF(), before.pointSizeF() + 2);
      const QFont calibri = w.font();
      UseCalibriFont(&w);  // already Calibri: keeps its size
      QCOMPARE(w.font(), calibri);
    }
  }

  // The acceptance file decides whether the window is shown.
  void AgreementShownUnlessTheFileHoldsExactlyOne_data() {
    QTest::addColumn<QString>("content");
    QTest::addColumn<bool>("missing");
    QTest::addColumn<bool>("shown");
    QTest::newRow("\"1\"") << "1" << false << false;
    QTest::newRow("\"1\" and a line break") << "1\n" << false << true;
    QTest::newRow("\"0\"") << "0" << false << true;
    QTest::newRow("empty") << "" << false << true;
    QTest::newRow("missing") << "" << true << true;
  }
  void AgreementShownUnlessTheFileHoldsExactlyOne() {
    QFETCH(QString, content);
    QFETCH(bool, missing);
    QFETCH(bool, shown);
    UseSimHost(SimMachine({}));
    const QByteArray bytes = content.toUtf8();
    TDataFolder data(missing ? nullptr : bytes.constData());
    TModalScript script;
    script.Then([](QWidget* w) {
      auto* window = qobject_cast<TfmLicenseAgreement*>(w);
      if (!window) return false;
      window->Button1->click();
      return true;
    });
    TfmLicenseAgreement window;
    RunAgreement(window);
    QCOMPARE(script.Seen.size(), shown ? 1 : 0);
    QVERIFY(!ProgramEndRequested());
    QCOMPARE(data.Read(), QString("1"));
    if (shown) {
      QCOMPARE(script.Seen.front(), QString::fromUtf8("quarnel::TfmLicenseAgreement:许可协议"));
      QVERIFY(Accepted);
    }
  }

  void DisagreeAndTheCloseBoxRefuse_data() {
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("不同意") << false;
    QTest::newRow("close box") << true;
  }
  void DisagreeAndTheCloseBoxRefuse() {
    QFETCH(bool, closeBox);
    UseSimHost(SimMachine({}));
    TDataFolder data("0");
    TModalScript script;
    script.Then([=](QWidget* w) {
      auto* window = qobject_cast<TfmLicenseAgreement*>(w);
      if (!window) return false;
      if (closeBox) {
        window->close();
      } else {
        window->Button2->click();
      }
      return true;
    });
    TfmLicenseAgreement window;
    RunAgreement(window);
    QCOMPARE(script.Seen.size(), 1);
    QVERIFY(ProgramEndRequested());
    QVERIFY(!Accepted);
    QCOMPARE(data.Read(), QString("0"));
  }

  void AcceptingCreatesAMissingDataFolder() {
    UseSimHost(SimMachine({}));
    QTemporaryDir base;
    const QString folder = base.path() + "/new/share";
    qputenv("XDG_DATA_HOME", folder.toLocal8Bit());
    QCOMPARE(AgreementFilePath(), (folder + "/brovix.4.40.agreement").toStdString());
    AcceptAgreement();
    QCOMPARE(ReadTextFile(AgreementFilePath()), std::string("1"));
    QVERIFY(AgreementAccepted());
  }

  void DataFolderFollowsXdgThenHome() {
    const QByteArray home = qgetenv("HOME");
    qputenv("XDG_DATA_HOME", "relative/dir");  // not absolute: ignored
    qputenv("HOME", "/home/someone");
    QCOMPARE(GetAppDataFolder(), std::string("/home/someone/.local/share"));
    qputenv("XDG_DATA_HOME", "/data/x/");
    QCOMPARE(GetAppDataFolder(), std::string("/data/x"));
    qputenv("HOME", home);
    qunsetenv("XDG_DATA_HOME");
  }

  void DiskToolMissingIsSaid() {
    UseSimHost(SimMachine({}));
    SetUi(&ui_);
    const QByteArray path = qgetenv("PATH");
    QTemporaryDir empty;
    qputenv("PATH", empty.path().toLocal8Bit());
    TFmChoose chooser;
    TModalScript script;
    TBoxSeen seen;
    Answer(script, "OK", &seen);
    QTest::mouseClick(chooser.lbDiskManagement, Qt::LeftButton);
    QVERIFY(WaitFor([&] { return !seen.Text.isEmpty(); }, 3000));
    qputenv("PATH", path);
    QVERIFY(seen.Text.contains("gnome-disks"));
    QVERIFY(!ProgramEndRequested());
  }
};

QTEST_MAIN(TestDialogs)
#include "DialogsTest.moc"
