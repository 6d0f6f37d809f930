#include "devices/VolumeLocking.h"

#include "app/Logging.h"
#include "devices/DeviceScan.h"
#include "host/HostConstants.h"
#include "util/Text.h"

namespace quarnel {

std::vector<THandle> LockedVolumeHandles;

namespace {

void DebugLine(const std::string& text) {
  if (DebugMode) AddLog(text);
}

bool Request(THandle handle, uint32_t code) {
  uint32_t returned = 0;
  return GetHost().DeviceIoControl(handle, code, nullptr, 0, nullptr, 0, &returned);
}

// Opens, locks and dismounts one volume; the handle joins the list only when
// all of it worked, and is closed at once otherwise.
bool LockVolume(const std::string& root) {
  Host& host = GetHost();
  DebugLine("Locking \\\\.\\" + root);
  const THandle handle =
      host.CreateFile("\\\\.\\" + root, win::GENERIC_READ,
                      win::FILE_SHARE_READ | win::FILE_SHARE_WRITE, win::OPEN_EXISTING, 0);
  if (handle == kInvalidHandle) {
    Log_BenchMark.Append("Invalid handle");  // bare, in every mode
    return false;
  }
  DebugLine("Got handle!");
  DebugLine("Locking volume...");
  if (!Request(handle, win::FSCTL_LOCK_VOLUME)) {
    host.CloseHandle(handle);
    return false;
  }
  DebugLine("Done.");
  DebugLine("Dismounting volume...");
  if (!Request(handle, win::FSCTL_DISMOUNT_VOLUME)) {
    host.CloseHandle(handle);
    return false;
  }
  DebugLine("Done.");
  DebugLine("Extending I/O...");
  Request(handle, win::FSCTL_ALLOW_EXTENDED_DASD_IO);  // its result changes nothing
  DebugLine("Done.");
  LockedVolumeHandles.push_back(handle);
  return true;
}

}  // namespace

bool LockDeviceVolumes(int64_t deviceNumber) {
  DebugLine("Looking for partitions...");
  TDriveRoots roots;
  ListLogicalDrives(roots);
  DebugLine("Done.");
  for (const std::string& root : roots) {
    if (root.empty()) continue;
    DebugLine("Getting device data...");
    const TVolumeDeviceInfo info = GetVolumeDeviceNumber(root);
    DebugLine("Done.");
    if (!info.Found) continue;
    DebugLine("Found partition " + root + "   " + "   DeviceType: " + DecTextU(info.DeviceType) +
              "   DeviceNumber: " + DecTextU(info.DeviceNumber) +
              "   Partition: " + DecTextU(info.PartitionNumber));
    if (info.DeviceNumber == deviceNumber && info.DeviceType == win::FILE_DEVICE_DISK) {
      if (!LockVolume(root)) return false;
    }
  }
  return true;
}

void ReleaseDeviceVolumes() {
  for (THandle handle : LockedVolumeHandles) GetHost().CloseHandle(handle);
  LockedVolumeHandles.clear();
}

}  // namespace quarnel
