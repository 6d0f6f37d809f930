// The desktop program on Qt Widgets: its four windows made for the core's
// start-up, the Qt seam and the event loop.
#pragma once

#include "app/Desktop.h"
#include "frontend/HostChoice.h"
#include "ui/qt/QtUi.h"

namespace quarnel {

class TFmMain;
class TFmChoose;
class TfmLicenseAgreement;
class TFmDebug;

/// Makes the windows; the pointers name them, owned by the TDesktop, for as
/// long as it lives.
class TQtWindows : public TWindowFactory {
 public:
  TUiSeam& Seam() override { return Ui; }
  std::unique_ptr<TMainWindowView> CreateMainWindow() override;
  std::unique_ptr<TChooserView> CreateChooser() override;
  std::unique_ptr<TAgreementView> CreateAgreement() override;
  std::unique_ptr<TDebugWindowView> CreateDebugWindow() override;
  void RunUntilClosed() override;
  int RunStation() override;
  void ShowStartError(const std::string& text) override;
  void ShowStartNotice(const std::string& text) override;

  TQtUi Ui;
  // What the station's runs are started with.
  THostOptions Host;
  std::string ProgramFile;
  TFmMain* FmMain = nullptr;
  TFmChoose* FmChoose = nullptr;
  TfmLicenseAgreement* fmLicenseAgreement = nullptr;
  TFmDebug* FmDebug = nullptr;
};

/// The program: returns its exit status.
int RunDesktop(int argc, char** argv);

}  // namespace quarnel
