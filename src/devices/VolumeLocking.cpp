#include "devices/VolumeLocking.h"

#include "base/Logging.h"
#include "base/Text.h"
#include "devices/DeviceScan.h"
#include "host/HostConstants.h"

namespace quarnel {

namespace {

void DebugLine(const std::string& text) {
  if (DebugMode) AddLog(text);
}

bool Request(Host& host, THandle handle, uint32_t code) {
  uint32_t returned = 0;
  return host.DeviceIoControl(handle, code, nullptr, 0, nullptr, 0, &returned);
}

}  // namespace

// A volume that stayed in use, with the system's reason.
void TVolumeLocks::VolumeHeld(const std::string& root) {
  holders_.push_back("volume " + VisibleText(root) +
                     " is in use: " + host_.ErrorText(host_.GetLastError()));
}

// Opens, locks and dismounts one volume; the handle joins the list only when
// all of it worked, and is closed at once otherwise.
bool TVolumeLocks::LockVolume(const std::string& root) {
  Host& host = host_;
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
  if (!Request(host, handle, win::kFSCTL_LOCK_VOLUME)) {
    VolumeHeld(root);
    host.CloseHandle(handle);
    return false;
  }
  DebugLine("Done.");
  DebugLine("Dismounting volume...");
  if (!Request(host, handle, win::kFSCTL_DISMOUNT_VOLUME)) {
    VolumeHeld(root);
    host.CloseHandle(handle);
    return false;
  }
  DebugLine("Done.");
  DebugLine("Extending I/O...");
  Request(host, handle, win::kFSCTL_ALLOW_EXTENDED_DASD_IO);  // its result changes nothing
  DebugLine("Done.");
  handles_.push_back(handle);
  roots_.push_back(root);
  return true;
}

bool TVolumeLocks::LockDeviceVolumes(int64_t deviceNumber) {
  holders_.clear();
  roots_.resize(handles_.size());
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

bool TVolumeLocks::ClaimDeviceForFormat(THandle drive) {
  Host& host = host_;
  std::vector<std::string> holders;
  if (!host.ClaimDrive(drive, &holders)) {
    const uint32_t code = host.GetLastError();
    AddDebugLog("Claiming the drive failed: " + DecTextU(code) + " - " + host.ErrorText(code));
    for (const std::string& holder : holders) {
      DebugLine("Busy: " + holder);
      AddDebugLog("Busy: " + holder);
      holders_.push_back(VisibleText(holder));
    }
    if (holders.empty()) holders_.push_back("the drive is in use: " + host.ErrorText(code));
    return false;
  }
  claimed_ = drive;
  return true;
}

void TVolumeLocks::ReleaseDeviceVolumes() {
  Host& host = host_;
  // The claim goes first: it would keep the volumes from being mounted again.
  if (claimed_ != kInvalidHandle) host.ReleaseDrive(claimed_);
  claimed_ = kInvalidHandle;
  for (size_t i = 0; i < handles_.size(); ++i) {
    if (host.CloseHandle(handles_[i])) continue;
    const std::string text = VisibleText(host.ErrorText(host.GetLastError()));
    const std::string root = i < roots_.size() ? VisibleText(roots_[i]) : std::string();
    AddLog("无法重新挂载 " + root + ": " + text);
    AddDebugLog("Mounting " + root + " again failed: " + text);
  }
  handles_.clear();
  roots_.clear();
}

}  // namespace quarnel
