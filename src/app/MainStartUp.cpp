#include "app/MainStartUp.h"

#include "app/MainState.h"
#include "app/StartUp.h"
#include "base/Logging.h"
#include "base/NumberTexts.h"
#include "base/Text.h"
#include "devices/DeviceScan.h"
#include "devices/DeviceTable.h"
#include "devices/DriveIdentity.h"
#include "host/Host.h"
#include "host/HostConstants.h"
#include "reports/DeviceDetails.h"
#include "reports/SmartReport.h"
#include "ui/TaskDialogs.h"
#include "ui/UiSeam.h"

namespace quarnel {

void CreateWindows(TWindowCreation& windows) {
  windows.CreateMainWindow();
  windows.CreateChooser();
  RunAgreement(windows.CreateAgreement());
  windows.CreateDebugWindow();
}

void RunSmartReport() {
  SetControlsEnabled(false);
  ShowSmartData();
  SetControlsEnabled(true);
}

std::string MainWindowTitle() { return std::string(kProgramTitle) + "    "; }

std::string ChooserHeaderText() { return UpperAscii(kProgramTitle) + "    "; }

void WriteStartUpWarnings() {
  AddLog(" * * * * *  警告 * * * * * ");
  AddLog("在低级格式化过程中");
  AddLog("所有的数据将被完全和不可逆地擦除！");
}

bool OpenSelectedDevice() {
  Host& host = GetHost();
  const THandle handle =
      host.CreateFileU8(DeviceTable[SelectedDevice].DevicePath,
                        win::kGENERIC_READ | win::kGENERIC_WRITE, 0, win::kOPEN_EXISTING, 0);
  const uint32_t error = host.GetLastError();
  if (handle == kInvalidHandle || error != 0) {
    // An open that reports an error is not trusted; do not keep its handle.
    if (handle != kInvalidHandle) host.CloseHandle(handle);
    FatalError("打开设备错误: " + SystemErrorText(error), "错误");
    return false;
  }
  // The node may hold another drive by now than the one chosen.
  if (!ConfirmSameDrive(DeviceTable[SelectedDevice].Identity, handle)) {
    host.CloseHandle(handle);
    FatalError(std::string("打开设备错误: ") + kDriveChangedText, "错误");
    return false;
  }
  DeviceHandle = handle;
  return true;
}

bool RunMainWindowFirstShow(TStartUpWindows& windows, const std::vector<std::string>& arguments,
                            const std::string& programFile) {
  const bool checked = RunStartUpChecks(arguments, programFile);
  if (DebugMode) windows.ShowDebugWindow();
  if (!checked) return false;
  windows.SetTitles(MainWindowTitle(), kProgramTitle, ChooserHeaderText());
  ScanDevices();
  WriteStartUpWarnings();

  // A pending end (a declined agreement, a drive the scan could not query)
  // closes every modal window at once: none is shown, nothing is chosen.
  if (DebugMode && !ProgramEndRequested()) windows.ShowDebugWindowModal();
  if (ProgramEndRequested()) return false;
  if (!windows.ChooseDevice()) {
    RequestProgramEnd(0);
    return false;
  }
  DeviceDescription = GetDeviceDescription(DeviceTable, SelectedDevice);
  windows.ShowDiskName(DeviceDescription);
  if (!OpenSelectedDevice()) return false;
  windows.ShowStatusDescription(DeviceDescription);
  ShowDeviceDetails();
  return true;
}

}  // namespace quarnel
