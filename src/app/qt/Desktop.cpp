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
    qputenv(name.c_str(), QByteArray::fromStdString(value));
  }
  QApplication app(argc, argv);
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
  THostOptions options;
  std::string error;
  std::string notice;
  if (!ParseHostOptions(arguments, &options, &error) || !InstallHost(options, &error, &notice)) {
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
