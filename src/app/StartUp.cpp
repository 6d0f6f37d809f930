#include "app/StartUp.h"

#include "agreement/LicenseAgreement.h"
#include "app/MainState.h"
#include "base/Logging.h"
#include "base/Text.h"
#include "devices/DeviceScan.h"
#include "devices/DeviceTable.h"
#include "devices/DriveChoose.h"
#include "host/Host.h"
#include "host/HostConstants.h"
#include "ui/UiSeam.h"

namespace quarnel {

std::string ProgramFolder(const std::string& programFile) {
  std::string folder = programFile;
  while (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder.pop_back();
  return folder;
}

std::string PlatformLine() {
  Host& host = GetHost();
  const TPlatformVersion v = host.GetVersion();
  return "Platform: " + DecTextU(v.Major) + "." + DecTextU(v.Minor) + "." + DecTextU(v.Build) +
         "   " + v.ServicePack + (host.IsWow64() ? "  (64 bit)" : "  (32 bit)");
}

bool RunStartUpChecks(const std::vector<std::string>& arguments, const std::string& programFile) {
  ActivateDebugMode(arguments);
  AddDebugLog("Program Path: " + ProgramFolder(programFile));
  AddDebugLog(PlatformLine());
  Host& host = GetHost();
  if (host.GetVersion().PlatformId != win::kVER_PLATFORM_WIN32_NT) {
    Ui().ShowMessage(
        "Only the following versions of Windows are supported: 2003, 2008, XP, "
        "Vista, 7",
        "Error", TMessageIcon::Error);
    RequestProgramEnd(1);
    return false;
  }
  host.Sleep(50);
  AddDebugLog(std::string("Program Version: ") + kProgramTitle + "    ");
  if (!host.SetupApiPresent()) {
    Ui().ShowMessage("Error #01704", "Error", TMessageIcon::Error);
    RequestProgramEnd(1);
    return false;
  }
  return true;
}

void ResetProcessState() {
  ResetLogging();
  ResetMainState();
  ResetDeviceTable();
  ResetUi();
  ChooserStatusText.clear();
  DriveRightsMissing = false;
  ResetDriveChoose();
  ResetAgreement();
}

}  // namespace quarnel
