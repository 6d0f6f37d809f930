// Takes the pictures of the desktop program on the demo machine: a scripted
// user answers each window as it comes and every step is saved as a PNG.
// The demo's first drive is slowed down so that a quick wipe can be caught
// half-way.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <QTreeWidget>
#include <cstdio>
#include <functional>
#include <locale>
#include <vector>

#include "agreement/qt/FmLicenseAgreement.h"
#include "app/qt/Desktop.h"
#include "app/qt/FmDebug.h"
#include "app/qt/FmMain.h"
#include "devices/qt/FmChoose.h"
#include "host/sim/SimHost.h"
#include "ui/qt/QtTranslation.h"

using namespace quarnel;

namespace {

QString outDir;
int failures = 0;

void Save(QWidget* widget, const char* name) {
  const QString path = outDir + "/" + name + ".png";
  if (!widget->grab().save(path)) {
    std::fprintf(stderr, "screenshots: cannot write %s\n", qPrintable(path));
    ++failures;
    return;
  }
  std::printf("%s\n", qPrintable(path));
}

// One step: waits for its window, acts on it and returns true to go on.
using TStep = std::function<bool()>;

QMessageBox* ModalBox() { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); }

template <typename T>
T* Modal() {
  return qobject_cast<T*>(QApplication::activeModalWidget());
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Qt's own texts in Chinese, as the program has them.
  QTranslator qtTexts;
  LoadQtTranslation(qtTexts);
  std::locale::global(std::locale(""));
  outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString("build/screenshots");
  QDir().mkpath(outDir);
  // A fresh data folder: the agreement is shown.
  QTemporaryDir data;
  qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());

  // With --no-rights the drives refuse to open, as for a user without
  // administrator rights: the message and the chooser are taken.
  const bool noRights = argc > 2 && QString(argv[2]) == "--no-rights";
  std::unique_ptr<SimHost> host = SimHost::Demo();
  host->Drive(0)->WriteMBPerSecond = 2;  // a quick wipe then takes about five seconds
  for (int n = 0; noRights && host->Drive(n); ++n) host->Drive(n)->Refusals["open"] = 5;
  SetHost(std::move(host));

  TQtWindows* desktop = nullptr;
  QElapsedTimer runClock;
  // With --debug only the debug window of the start-up is taken, then the
  // chooser is closed, which ends the program.
  const bool debugOnly = argc > 2 && QString(argv[2]) == "--debug";
  std::vector<TStep> debugSteps = {
      [] {
        auto* w = Modal<TfmLicenseAgreement>();
        if (!w) return false;
        w->Button1->click();
        return true;
      },
      [] {
        auto* w = Modal<TFmDebug>();
        if (!w) return false;
        Save(w, "0-debug-window");
        w->close();
        return true;
      },
      [] {
        auto* w = Modal<TFmChoose>();
        if (!w) return false;
        w->close();
        return true;
      },
  };
  std::vector<TStep> steps = {
      [] {
        auto* w = Modal<TfmLicenseAgreement>();
        if (!w) return false;
        Save(w, "1-agreement");
        w->Button1->click();
        return true;
      },
      [] {
        auto* w = Modal<TFmChoose>();
        if (!w) return false;
        Save(w, "2-chooser");
        w->DriveList->setCurrentItem(w->DriveList->topLevelItem(0));
        w->btContinue->click();
        return true;
      },
      [&] {
        if (!desktop || !desktop->FmMain->isVisible()) return false;
        TFmMain* m = desktop->FmMain;
        Save(m, "3-main-details");
        m->pages->setCurrentIndex(2);
        m->btGetSmart->click();
        QCoreApplication::processEvents();  // the pane turns to the new report
        Save(m, "4-main-smart");
        // The short self-test beside the SMART button, run to its end.
        m->btSelfTest->click();
        QCoreApplication::processEvents();
        Save(m, "4-main-selftest");
        m->pages->setCurrentIndex(1);
        Save(m, "5-main-format");
        m->cbQuickWipe->setChecked(true);
        // The click runs the whole procedure; the next steps run inside it.
        QTimer::singleShot(0, m->btRunBenchmarks, &QPushButton::click);
        return true;
      },
      [&] {
        QMessageBox* box = ModalBox();
        if (!box) return false;
        Save(box, "6-format-confirmation");
        box->button(QMessageBox::Yes)->click();
        runClock.start();
        return true;
      },
      [&] {
        TFmMain* m = desktop->FmMain;
        if (runClock.elapsed() < 2500 || !m->btStop->isEnabled()) return false;
        Save(m, "7-format-in-progress");
        m->btStop->click();
        return true;
      },
      [&] {
        TFmMain* m = desktop->FmMain;
        if (!m->btRunBenchmarks->isEnabled()) return false;
        Save(m, "8-format-stopped");
        m->close();
        return true;
      },
  };
  std::vector<TStep> noRightsSteps = {
      debugSteps.front(),
      [] {
        auto* box = Modal<QMessageBox>();
        if (!box) return false;
        Save(box, "9-no-rights-message");
        box->accept();
        return true;
      },
      [] {
        auto* w = Modal<TFmChoose>();
        if (!w) return false;
        Save(w, "9-no-rights-chooser");
        w->close();
        return true;
      },
  };
  if (debugOnly) steps = debugSteps;
  if (noRights) steps = noRightsSteps;
  size_t next = 0;
  QTimer script;
  QObject::connect(&script, &QTimer::timeout, [&] {
    if (next < steps.size() && steps[next]()) ++next;
    if (next == steps.size()) QCoreApplication::quit();
  });
  script.start(150);
  QTimer::singleShot(120000, [&] {
    std::fprintf(stderr, "screenshots: stuck at step %zu\n", next + 1);
    ++failures;
    QCoreApplication::exit(1);
  });

  std::vector<std::string> arguments;
  if (debugOnly) arguments.push_back("--debug");
  TQtWindows windows;
  desktop = &windows;
  TDesktop program(windows, arguments, QCoreApplication::applicationFilePath().toStdString());
  program.Show();
  if (debugOnly || noRights) return failures == 0 && next == steps.size() ? 0 : 1;
  if (!windows.FmMain->isVisible()) {
    std::fprintf(stderr, "screenshots: the program ended during start-up\n");
    return 1;
  }
  app.exec();
  return failures == 0 && next == steps.size() ? 0 : 1;
}
