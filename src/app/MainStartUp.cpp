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
#include "reports/Health.h"
#include "reports/SmartReport.h"
#include "ui/Catalogue.h"
#include "ui/TaskDialogs.h"
#include "ui/UiSeam.h"

namespace quarnel {

THealthAssessment RunSmartReport() {
  SetControlsEnabled(false);
  const THealthAssessment assessment = ShowSmartDataWithHealth();
  SetControlsEnabled(true);
  return assessment;
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
    FatalError("打开设备错误: " + SystemErrorText(error), kErrorCaption);
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

void CloseSelectedDevice() {
  if (DeviceHandle == kInvalidHandle) return;
  GetHost().CloseHandle(DeviceHandle);
  DeviceHandle = kInvalidHandle;
}

}  // namespace quarnel
