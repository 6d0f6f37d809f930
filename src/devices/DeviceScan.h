// The scan of drives 0..255 into the device table, and the mapping of volume
// roots to the drives that hold them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quarnel {

inline constexpr size_t kMaxDriveRoots = 128;
using TDriveRoots = std::array<std::string, kMaxDriveRoots>;

struct TVolumeDeviceInfo {
  bool Found = false;
  uint32_t DeviceType = 0;
  uint32_t DeviceNumber = 0;
  uint32_t PartitionNumber = 0;
};

/// Fills DeviceTable and DeviceCount and sets ChooserStatusText.
void ScanDevices();

/// The volume roots ("C:" form) from the start of `roots`; the rest empty.
void ListLogicalDrives(TDriveRoots& roots);

/// The storage device number of the volume at `root`.
TVolumeDeviceInfo GetVolumeDeviceNumber(const std::string& root);

/// The roots of the disk volumes of drive `deviceNumber`, blank-separated.
void ListDevicePartitions(std::string& text, int64_t deviceNumber);

/// The roots of the lettered volumes (mount points) on drive `deviceNumber`,
/// each shown as VisibleText shows it, asked quietly (no log lines).
std::vector<std::string> DeviceVolumeRoots(int64_t deviceNumber);

/// The chooser's status-bar text, "找到磁盘: " and the count; when a drive
/// was refused for want of rights, then kNoDriveRightsText and the system's
/// hint on how to get them.
extern std::string ChooserStatusText;

/// Set by ScanDevices when the system refused to open a drive with "access
/// denied": the program runs without administrator rights.
extern bool DriveRightsMissing;
inline constexpr const char* kNoDriveRightsText = "需要管理员权限才能打开磁盘";

}  // namespace quarnel
