#include "app/qt/Desktop.h"

#include <QApplication>
#include <QMessageBox>
#include <QTranslator>
#include <iostream>
#include <locale>

#include "agreement/qt/FmLicenseAgreement.h"
#include "app/qt/FmDebug.h"
#include "app/qt/FmMain.h"
#include "base/System.h"
#include "devices/qt/FmChoose.h"
#include "frontend/CommandLine.h"
#include "frontend/HostChoice.h"
#include "launcher/Launcher.h"
#include "record/EraseRecordFile.h"
#include "ui/UiSeam.h"
#include "ui/qt/QtTranslation.h"

namespace quarnel {

TDesktop::TDesktop(std::vector<std::string> arguments, std::string programFile)
    : arguments_(std::move(arguments)), program_file_(std::move(programFile)) {
  SetUi(&Ui);
  CreateWindows(*this);
  FmMain->SetWindows(FmChoose.get(), FmDebug.get());
}

void TDesktop::CreateMainWindow() {
  FmMain = std::make_unique<TFmMain>(arguments_, program_file_);
  Ui.SetMainWindow(FmMain.get(), FmMain.get());
}

void TDesktop::CreateChooser() { FmChoose = std::make_unique<TFmChoose>(); }

TAgreementView& TDesktop::CreateAgreement() {
  fmLicenseAgreement = std::make_unique<TfmLicenseAgreement>();
  return *fmLicenseAgreement;
}

void TDesktop::CreateDebugWindow() { FmDebug = std::make_unique<TFmDebug>(); }

TDesktop::~TDesktop() {
  // The windows go before the seam that points at them.
  SetUi(nullptr);
  FmDebug.reset();
  fmLicenseAgreement.reset();
  FmChoose.reset();
  FmMain.reset();
}

int RunDesktop(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  // Started as root through the menu's launcher: the user's display comes as
  // arguments, because pkexec clears the environment. Set before Qt connects.
  for (const auto& [name, value] : TakeSessionEnvironment(&arguments)) {
    // Qt makes and changes the modes of the runtime folder it is given, with
    // root's rights here: only the user's own private folder is taken.
    if (name == "XDG_RUNTIME_DIR" && StartedOnBehalfOfUser() &&
        !IsInvokingUsersPrivateFolder(value)) {
      std::cerr << "quarnel: the runtime folder " << value
                << " is not the user's own private folder; it is not used\n";
      continue;
    }
    qputenv(name.c_str(), QByteArray::fromStdString(value));
  }
  // The program's own options are checked before Qt starts; Qt never sees
  // anything else of the command line.
  TDesktopOptions desktopOptions;
  const THostOptions& options = desktopOptions.Host;
  std::string error;
  if (!ParseDesktopOptions(arguments, StartedOnBehalfOfUser(), &desktopOptions, &error)) {
    std::cerr << "quarnel: " << error << "\n";
    return 2;
  }
  // Qt takes options of its own from a command line (-platformpluginpath,
  // -platform, ...), some of which load libraries: it sees the program's name
  // only.
  int qtArgc = 1;
  char* qtArgv[] = {argc > 0 ? argv[0] : const_cast<char*>("quarnel"), nullptr};
  QApplication app(qtArgc, qtArgv);
  QApplication::setApplicationName("quarnel");
  QTranslator qtTexts;
  if (!LoadQtTranslation(qtTexts)) {
    std::cerr << "quarnel: Qt's Chinese texts (qtbase_zh_CN, package qt6-translations-l10n) "
                 "are missing; its buttons stay English\n";
  }
  // Dates, times and numbers follow the user's regional settings.
  try {
    std::locale::global(RegionalLocale());
  } catch (const std::exception&) {
    std::cerr << "quarnel: the locale of the environment is not available; using \"C\"\n";
  }
  std::string notice;
  if (!InstallHost(options, &error, &notice)) {
    std::cerr << "quarnel: " << error << "\n";
    QMessageBox::critical(nullptr, QString::fromUtf8("错误"), QString::fromStdString(error));
    return 2;
  }
  if (!notice.empty()) std::cerr << "quarnel: " << notice << "\n";
  // Every run past the confirmation leaves a record in the user's data folder.
  WriteEraseRecordsTo("", options.Simulate);

  TDesktop desktop(arguments, QCoreApplication::applicationFilePath().toStdString());
  QObject::connect(desktop.FmMain.get(), &TFmMain::closed, &app, &QCoreApplication::quit,
                   Qt::QueuedConnection);
  desktop.FmMain->show();
  if (ProgramEndRequested() || !desktop.FmMain->isVisible()) return ProgramExitCode();
  return app.exec();
}

}  // namespace quarnel
