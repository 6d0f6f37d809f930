// The desktop program on Win32 as a whole: the host from the command line,
// the UI seam, and the four windows created in their order.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/MainStartUp.h"
#include "ui/win/WinUi.h"

namespace quarnel {

class TFmMain;
class TFmChoose;
class TfmLicenseAgreement;
class TFmDebug;

class TDesktop : private TWindowCreation {
 public:
  /// Installs the seam and creates the windows: the main window, the
  /// chooser, the agreement (which may show itself and refuse) and the
  /// debug window. The host must be installed already.
  TDesktop(std::vector<std::string> arguments, std::string programFile);
  ~TDesktop();

  /// Shows the main window (the start-up runs first) and handles messages
  /// until it is closed. Returns the program's exit status.
  int Run();

  TWinUi Ui;
  std::unique_ptr<TFmMain> FmMain;
  std::unique_ptr<TFmChoose> FmChoose;
  std::unique_ptr<TfmLicenseAgreement> fmLicenseAgreement;
  std::unique_ptr<TFmDebug> FmDebug;

 private:
  void CreateMainWindow() override;
  void CreateChooser() override;
  TAgreementView& CreateAgreement() override;
  void CreateDebugWindow() override;

  std::vector<std::string> arguments_;
  std::string program_file_;
};

/// The program: the arguments and the program's path come from the system.
int RunDesktop();

}  // namespace quarnel
