// The scan of drives 0..255 into the device table, and the mapping of volume
// roots to the drives that hold them.
#pragma once

#include <array>
#include <cstdint>
#include <string>

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

/// The chooser's status-bar text, "找到磁盘: " and the count.
extern std::string ChooserStatusText;

}  // namespace quarnel
