#include "devices/DeviceScan.h"

#include <cstring>
#include <vector>

#include "ata/Identification.h"
#include "base/Logging.h"
#include "base/System.h"
#include "base/Text.h"
#include "devices/DeviceTable.h"
#include "devices/DriveIdentity.h"
#include "host/Bytes.h"
#include "host/Host.h"
#include "host/HostConstants.h"
#include "ui/UiSeam.h"

namespace quarnel {

std::string ChooserStatusText;
bool DriveRightsMissing = false;

namespace {
constexpr uint32_t kRootBufferChars = 1024;
constexpr int kLastDriveNumber = 255;
}  // namespace

void ListLogicalDrives(TDriveRoots& roots) {
  roots.fill(std::string());
  // The first size fits the usual machine; a longer list says the size it
  // needs, and is fetched again with that (mount points may be long).
  std::vector<char> buffer(kRootBufferChars + 1, '\0');
  uint32_t length = 0;
  for (int attempt = 0; attempt < 4; ++attempt) {
    const auto capacity = static_cast<uint32_t>(buffer.size() - 1);
    length = GetHost().GetLogicalDriveStringsU8(capacity, buffer.data());
    if (length < capacity) break;
    buffer.assign(static_cast<size_t>(length) + 2, '\0');
    length = 0;
  }
  if (length == 0) return;
  size_t index = 0;
  size_t slot = 0;
  while (index < length && buffer[index] != '\0' && slot < kMaxDriveRoots) {
    std::string root(buffer.data() + index, strnlen(buffer.data() + index, length - index));
    index += root.size() + 1;
    if (!root.empty() && root.back() == '\\') root.pop_back();
    roots[slot++] = std::move(root);
  }
}

TVolumeDeviceInfo GetVolumeDeviceNumber(const std::string& root) {
  TVolumeDeviceInfo info;
  Host& host = GetHost();
  const THandle handle = host.CreateFileU8(
      "\\\\.\\" + root, 0, win::kFILE_SHARE_READ | win::kFILE_SHARE_WRITE, win::kOPEN_EXISTING, 0);
  if (handle == kInvalidHandle) return info;
  uint8_t out[1024] = {};
  uint32_t returned = 0;
  if (host.DeviceIoControl(handle, win::kIOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, out,
                           sizeof out, &returned)) {
    info.DeviceType = GetU32(out, 0);
    info.DeviceNumber = GetU32(out, 4);
    info.PartitionNumber = GetU32(out, 8);
    info.Found = true;
  }
  host.CloseHandle(handle);
  return info;
}

void ListDevicePartitions(std::string& text, int64_t deviceNumber) {
  text.clear();
  if (DebugMode) AddLog("Looking for partitions...");
  TDriveRoots roots;
  ListLogicalDrives(roots);
  if (DebugMode) AddLog("完成");
  for (const std::string& root : roots) {
    if (root.empty()) continue;
    if (DebugMode) AddLog("获取设备数据...");
    const TVolumeDeviceInfo info = GetVolumeDeviceNumber(root);
    if (DebugMode) AddLog("完成");
    if (!info.Found) continue;
    // A mount point is any text a user could give a folder: shown, never obeyed.
    const std::string shown = VisibleText(root);
    AddDebugLog("找到扇区 " + shown + "   " + "   设备类型: " + DecTextU(info.DeviceType) +
                "   设备编号: " + DecTextU(info.DeviceNumber) +
                "   分区: " + DecTextU(info.PartitionNumber));
    if (info.DeviceNumber == deviceNumber && info.DeviceType == win::kFILE_DEVICE_DISK) {
      text += shown + " ";
    }
  }
  text = Trim(text);
}

std::vector<std::string> DeviceVolumeRoots(int64_t deviceNumber) {
  std::vector<std::string> found;
  TDriveRoots roots;
  ListLogicalDrives(roots);
  for (const std::string& root : roots) {
    if (root.empty()) continue;
    const TVolumeDeviceInfo info = GetVolumeDeviceNumber(root);
    if (info.Found && info.DeviceNumber == deviceNumber &&
        info.DeviceType == win::kFILE_DEVICE_DISK) {
      found.push_back(VisibleText(root));
    }
  }
  return found;
}

void ScanDevices() {
  Host& host = GetHost();
  DeviceCount = 0;
  DriveRightsMissing = false;
  TIdentifyDeviceData working;
  AddDebugLog("Iterating through devices...");
  for (int n = 0; n <= kLastDriveNumber && DeviceCount < MaxScannedDevices; ++n) {
    const std::string path = host.DrivePath(n);
    std::string trying = "Trying device ";  // appended: GCC 12 -O3 warns on "#" + string
    if (path.empty()) {
      trying += '#';
      trying += DecText(n);
    } else {
      trying += path;
    }
    AddDebugLog(trying);
    const THandle handle = path.empty()
                               ? kInvalidHandle
                               : host.CreateFileU8(path, win::kGENERIC_READ,
                                                   win::kFILE_SHARE_READ | win::kFILE_SHARE_WRITE,
                                                   win::kOPEN_EXISTING, 0);
    if (handle == kInvalidHandle) {
      AddDebugLog("Invalid handle, skipping");
      if (!path.empty() && host.GetLastError() == win::kERROR_ACCESS_DENIED) {
        DriveRightsMissing = true;
      }
      continue;
    }
    AddDebugLog("Identifying the device...");
    // An end asked for before (a declined agreement) lets the scan run on;
    // only a refusal met by this identification stops it.
    uint32_t refusal = 0;
    const bool identified = IdentifyDevice(handle, working, &refusal) == 0;
    if (refusal != 0) {
      // The device query was refused: the program ends, no further drive.
      Ui().ShowMessage("Error accessing device: " + SystemErrorText(refusal), "Error",
                       TMessageIcon::Error);
      RequestProgramEnd(1);
      host.CloseHandle(handle);
      return;
    }
    AddDebugLog("Done. Status = " + FlagText(identified) + "; " + working.Model + "  " +
                working.SN);
    AddDebugLog("Getting partition info...");
    std::string parts;
    ListDevicePartitions(parts, n);
    AddDebugLog("分区: " + parts);
    if (identified) {
      ++DeviceCount;
      TDeviceTable& entry = DeviceTable[DeviceCount];
      entry = TDeviceTable{};
      entry.DevicePath = path;
      entry.DeviceNumber = static_cast<uint32_t>(n);
      entry.IdentifyData = working;
      entry.Identity = ReadDriveIdentity(handle);
      entry.AssociatedPartitions = parts;
    }
    host.CloseHandle(handle);
  }
  ChooserStatusText = "找到磁盘: " + DecText(DeviceCount);
  if (DriveRightsMissing) {
    AddDebugLog("Access denied: drives can only be opened with administrator rights");
    ChooserStatusText += "    " + std::string(kNoDriveRightsText) + "：" + AdminRightsHint();
  }
}

}  // namespace quarnel
