#include "app/win/Desktop.h"

#include <commctrl.h>
#include <shellapi.h>

#include "agreement/win/FmLicenseAgreement.h"
#include "app/win/FmDebug.h"
#include "app/win/FmMain.h"
#include "base/ProgramInfo.h"
#include "devices/win/FmChoose.h"
#include "station/win/FmStation.h"
#include "base/System.h"
#include "frontend/CommandLine.h"
#include "frontend/DesktopProgram.h"
#include "ui/Catalogue.h"

namespace quarnel {

std::unique_ptr<TMainWindowView> TWinWindows::CreateMainWindow() {
  auto window = std::make_unique<TFmMain>();
  FmMain = window.get();
  Ui.SetMainWindow(FmMain->Handle(), FmMain);
  return window;
}

std::unique_ptr<TChooserView> TWinWindows::CreateChooser() {
  auto window = std::make_unique<TFmChoose>();
  FmChoose = window.get();
  return window;
}

std::unique_ptr<TAgreementView> TWinWindows::CreateAgreement() {
  auto window = std::make_unique<TfmLicenseAgreement>();
  fmLicenseAgreement = window.get();
  return window;
}

std::unique_ptr<TDebugWindowView> TWinWindows::CreateDebugWindow() {
  auto window = std::make_unique<TFmDebug>(FmMain ? FmMain->Handle() : nullptr);
  FmDebug = window.get();
  return window;
}

void TWinWindows::RunUntilClosed() {
  PumpUntil([this] { return FmMain->Closed(); });
}

int TWinWindows::RunStation() {
  TFmStation station(Ui, DesktopStationSetup(Host, ProgramFile));
  station.Show();
  PumpUntil([&station] { return station.Closed(); });
  return ProgramExitCode();
}

void TWinWindows::ShowStartError(const std::string& text) {
  MessageBoxW(nullptr, WideFromUtf8(text).c_str(), WideFromUtf8(kErrorCaption).c_str(),
              MB_ICONERROR | MB_OK);
}

void TWinWindows::ShowStartNotice(const std::string& text) {
  MessageBoxW(nullptr, WideFromUtf8(text).c_str(), WideFromUtf8(kProgramTitle).c_str(),
              MB_ICONWARNING | MB_OK);
}

int RunDesktop() {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_TAB_CLASSES |
                                                        ICC_PROGRESS_CLASS | ICC_BAR_CLASSES |
                                                        ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(Utf8FromWide(argv[i]));
  LocalFree(argv);
  std::wstring module(MAX_PATH, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, module.data(), MAX_PATH);
  module.resize(length < MAX_PATH ? length : 0);
  TWinWindows windows;
  TDesktopOptions options;
  std::string error;
  if (!ParseDesktopOptions(arguments, StartedOnBehalfOfUser(), &options, &error)) {
    windows.ShowStartError(error);
    return 2;
  }
  windows.Host = options.Host;
  windows.ProgramFile = Utf8FromWide(module);
  return RunDesktopProgram(windows, arguments, options.Host, windows.ProgramFile,
                           options.Station);
}

}  // namespace quarnel
