#include "app/qt/Desktop.h"

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QTranslator>
#include <iostream>

#include "agreement/qt/FmLicenseAgreement.h"
#include "app/qt/FmDebug.h"
#include "app/qt/FmMain.h"
#include "devices/qt/FmChoose.h"
#include "station/qt/FmStation.h"
#include "base/System.h"
#include "frontend/CommandLine.h"
#include "frontend/DesktopProgram.h"
#include "launcher/Launcher.h"
#include "ui/Catalogue.h"
#include "ui/qt/QtTranslation.h"

namespace quarnel {

std::unique_ptr<TMainWindowView> TQtWindows::CreateMainWindow() {
  auto window = std::make_unique<TFmMain>();
  FmMain = window.get();
  Ui.SetMainWindow(FmMain, FmMain);
  return window;
}

std::unique_ptr<TChooserView> TQtWindows::CreateChooser() {
  auto window = std::make_unique<TFmChoose>();
  FmChoose = window.get();
  return window;
}

std::unique_ptr<TAgreementView> TQtWindows::CreateAgreement() {
  auto window = std::make_unique<TfmLicenseAgreement>();
  fmLicenseAgreement = window.get();
  return window;
}

std::unique_ptr<TDebugWindowView> TQtWindows::CreateDebugWindow() {
  auto window = std::make_unique<TFmDebug>();
  FmDebug = window.get();
  return window;
}

void TQtWindows::RunUntilClosed() {
  QEventLoop loop;
  QObject::connect(FmMain, &TFmMain::closed, &loop, &QEventLoop::quit, Qt::QueuedConnection);
  if (FmMain->isVisible()) loop.exec();
}

int TQtWindows::RunStation() {
  TFmStation station(Ui, DesktopStationSetup(Host, ProgramFile));
  QEventLoop loop;
  QObject::connect(&station, &TFmStation::closed, &loop, &QEventLoop::quit, Qt::QueuedConnection);
  station.show();
  loop.exec();
  return ProgramExitCode();
}

void TQtWindows::ShowStartError(const std::string& text) {
  std::cerr << "quarnel: " << text << "\n";
  QMessageBox::critical(nullptr, QString::fromUtf8(kErrorCaption), ToQt(text));
}

void TQtWindows::ShowStartNotice(const std::string& text) {
  std::cerr << "quarnel: " << text << "\n";
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
  TDesktopOptions options;
  std::string error;
  if (!ParseDesktopOptions(arguments, StartedOnBehalfOfUser(), &options, &error)) {
    std::cerr << "quarnel: " << error << "\n";
    return 2;
  }
  // Qt gets the program's name alone: its own options (-platformpluginpath,
  // -platform, -style...) would load libraries of the user's choice into a
  // program that runs as root.
  char* qtArguments[] = {argc > 0 ? argv[0] : const_cast<char*>("quarnel"), nullptr};
  int qtCount = 1;
  QApplication app(qtCount, qtArguments);
  QApplication::setApplicationName("quarnel");
  QTranslator qtTexts;
  if (!LoadQtTranslation(qtTexts)) {
    std::cerr << "quarnel: Qt's Chinese texts (qtbase_zh_CN, package qt6-translations-l10n) "
                 "are missing; its buttons stay English\n";
  }
  TQtWindows windows;
  windows.Host = options.Host;
  windows.ProgramFile = QCoreApplication::applicationFilePath().toStdString();
  return RunDesktopProgram(windows, arguments, options.Host, windows.ProgramFile,
                           options.Station);
}

}  // namespace quarnel
