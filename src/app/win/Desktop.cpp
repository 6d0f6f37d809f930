#include "app/win/Desktop.h"

#include <commctrl.h>
#include <shellapi.h>

#include <locale>

#include "agreement/win/FmLicenseAgreement.h"
#include "app/win/FmDebug.h"
#include "app/win/FmMain.h"
#include "base/System.h"
#include "devices/win/FmChoose.h"
#include "frontend/CommandLine.h"
#include "frontend/HostChoice.h"
#include "record/EraseRecordFile.h"
#include "ui/UiSeam.h"

namespace quarnel {

TDesktop::TDesktop(std::vector<std::string> arguments, std::string programFile)
    : arguments_(std::move(arguments)), program_file_(std::move(programFile)) {
  SetUi(&Ui);
  CreateWindows(*this);
  FmMain->SetWindows(FmChoose.get(), FmDebug.get());
}

void TDesktop::CreateMainWindow() {
  FmMain = std::make_unique<TFmMain>(arguments_, program_file_);
  Ui.SetMainWindow(FmMain->Handle(), FmMain.get());
}

void TDesktop::CreateChooser() { FmChoose = std::make_unique<TFmChoose>(); }

TAgreementView& TDesktop::CreateAgreement() {
  fmLicenseAgreement = std::make_unique<TfmLicenseAgreement>();
  return *fmLicenseAgreement;
}

void TDesktop::CreateDebugWindow() { FmDebug = std::make_unique<TFmDebug>(); }

TDesktop::~TDesktop() {
  // The windows go before the seam that points at them.
  Ui.SetMainWindow(nullptr, nullptr);
  SetUi(nullptr);
  FmDebug.reset();
  fmLicenseAgreement.reset();
  FmChoose.reset();
  FmMain.reset();
}

int TDesktop::Run() {
  if (!FmMain->Show()) return ProgramExitCode();
  PumpUntil([this] { return FmMain->Closed(); });
  return ProgramExitCode();
}

int RunDesktop() {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_TAB_CLASSES |
                                                        ICC_PROGRESS_CLASS | ICC_BAR_CLASSES |
                                                        ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  // Dates, times and numbers follow the user's regional settings.
  std::locale::global(RegionalLocale());
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(Utf8FromWide(argv[i]));
  LocalFree(argv);
  std::wstring module(MAX_PATH, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, module.data(), MAX_PATH);
  module.resize(length < MAX_PATH ? length : 0);

  TDesktopOptions desktopOptions;
  const THostOptions& options = desktopOptions.Host;
  std::string error;
  std::string notice;
  if (!ParseDesktopOptions(arguments, StartedOnBehalfOfUser(), &desktopOptions, &error) ||
      !InstallHost(options, &error, &notice)) {
    MessageBoxW(nullptr, WideFromUtf8(error).c_str(), L"错误", MB_ICONERROR | MB_OK);
    return 2;
  }
  if (!notice.empty())
    MessageBoxW(nullptr, WideFromUtf8(notice).c_str(), L"Quarnel", MB_ICONWARNING | MB_OK);
  // Every run past the confirmation leaves a record in the user's data folder.
  WriteEraseRecordsTo("", options.Simulate);
  TDesktop desktop(arguments, Utf8FromWide(module));
  return desktop.Run();
}

}  // namespace quarnel
