#include "devices/VolumeLocking.h"

#include "base/Logging.h"
#include "base/Text.h"
#include "devices/DeviceScan.h"
#include "host/HostConstants.h"

namespace quarnel {

std::vector<THandle> LockedVolumeHandles;

namespace {

std::vector<std::string> lockedRoots;  // beside LockedVolumeHandles
THandle claimedDrive = kInvalidHandle;
std::vector<std::string> holdersFound;

// A volume that stayed in use, with the system's reason.
void VolumeHeld(const std::string& root) {
  Host& host = GetHost();
  holdersFound.push_back("volume " + VisibleText(root) +
                         " is in use: " + host.ErrorText(host.GetLastError()));
}

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
  DebugLine("Locking \\\\.\\" + VisibleText(root));
  const THandle handle =
      host.CreateFileU8("\\\\.\\" + root, win::kGENERIC_READ,
                        win::kFILE_SHARE_READ | win::kFILE_SHARE_WRITE, win::kOPEN_EXISTING, 0);
  if (handle == kInvalidHandle) {
    VolumeHeld(root);
    Log_BenchMark.Append("Invalid handle");  // bare, in every mode
    return false;
  }
  DebugLine("Got handle!");
  DebugLine("Locking volume...");
  if (!Request(handle, win::kFSCTL_LOCK_VOLUME)) {
    VolumeHeld(root);
    host.CloseHandle(handle);
    return false;
  }
  DebugLine("Done.");
  DebugLine("Dismounting volume...");
  if (!Request(handle, win::kFSCTL_DISMOUNT_VOLUME)) {
    VolumeHeld(root);
    host.CloseHandle(handle);
    return false;
  }
  DebugLine("Done.");
  DebugLine("Extending I/O...");
  Request(handle, win::kFSCTL_ALLOW_EXTENDED_DASD_IO);  // its result changes nothing
  DebugLine("Done.");
  LockedVolumeHandles.push_back(handle);
  lockedRoots.push_back(root);
  return true;
}

}  // namespace

bool LockDeviceVolumes(int64_t deviceNumber) {
  holdersFound.clear();
  lockedRoots.assign(LockedVolumeHandles.size(), std::string());
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
    DebugLine("Found partition " + VisibleText(root) + "   " + "   DeviceType: " +
              DecTextU(info.DeviceType) + "   DeviceNumber: " + DecTextU(info.DeviceNumber) +
              "   Partition: " + DecTextU(info.PartitionNumber));
    if (info.DeviceNumber == deviceNumber && info.DeviceType == win::kFILE_DEVICE_DISK) {
      if (!LockVolume(root)) return false;
    }
  }
  return true;
}

bool ClaimDeviceForFormat(THandle drive) {
  Host& host = GetHost();
  std::vector<std::string> holders;
  if (!host.ClaimDrive(drive, &holders)) {
    const uint32_t code = host.GetLastError();
    AddDebugLog("Claiming the drive failed: " + DecTextU(code) + " - " + host.ErrorText(code));
    for (const std::string& holder : holders) {
      DebugLine("Busy: " + holder);
      AddDebugLog("Busy: " + holder);
      holdersFound.push_back(VisibleText(holder));
    }
    if (holders.empty()) holdersFound.push_back("the drive is in use: " + host.ErrorText(code));
    return false;
  }
  claimedDrive = drive;
  return true;
}

const std::vector<std::string>& DriveHolders() { return holdersFound; }

void ReleaseDeviceVolumes() {
  Host& host = GetHost();
  // The claim goes first: it would keep the volumes from being mounted again.
  if (claimedDrive != kInvalidHandle) host.ReleaseDrive(claimedDrive);
  claimedDrive = kInvalidHandle;
  for (size_t i = 0; i < LockedVolumeHandles.size(); ++i) {
    if (host.CloseHandle(LockedVolumeHandles[i])) continue;
    const std::string text = VisibleText(host.ErrorText(host.GetLastError()));
    const std::string root = i < lockedRoots.size() ? VisibleText(lockedRoots[i]) : std::string();
    AddLog("无法重新挂载 " + root + ": " + text);
    AddDebugLog("Mounting " + root + " again failed: " + text);
  }
  LockedVolumeHandles.clear();
  lockedRoots.clear();
}

}  // namespace quarnel
