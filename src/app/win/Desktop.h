// The desktop program on Win32: its four windows made for the core's
// start-up, the Win32 seam and the message loop.
#pragma once

#include "app/Desktop.h"
#include "frontend/HostChoice.h"
#include "ui/win/WinUi.h"

namespace quarnel {

class TFmMain;
class TFmChoose;
class TfmLicenseAgreement;
class TFmDebug;

/// Makes the windows; the pointers name them, owned by the TDesktop, for as
/// long as it lives.
class TWinWindows : public TWindowFactory {
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

  TWinUi Ui;
  // What the station's runs are started with.
  THostOptions Host;
  std::string ProgramFile;
  TFmMain* FmMain = nullptr;
  TFmChoose* FmChoose = nullptr;
  TfmLicenseAgreement* fmLicenseAgreement = nullptr;
  TFmDebug* FmDebug = nullptr;
};

/// The program: the arguments and the program's path come from the system.
int RunDesktop();

}  // namespace quarnel
