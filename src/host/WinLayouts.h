// Reply layouts that every host builds the same way: the storage descriptors,
// the disk geometry and the list of volume roots.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quarnel {

/// The texts of a STORAGE_DEVICE_DESCRIPTOR, as bytes.
struct TDeviceTexts {
  std::string Vendor, Product, Revision, Serial;
  bool Removable = false;
  uint32_t BusType = 0;
};

/// A 40-byte header, then each present text with its NUL; an absent text has
/// offset 0. The serial is stored in ATA word order (padded with a blank to
/// whole words) unless `serialAsGiven`.
std::vector<uint8_t> BuildDeviceDescriptor(const TDeviceTexts& texts, bool serialAsGiven = false);

/// A 32-byte STORAGE_ADAPTER_DESCRIPTOR.
std::vector<uint8_t> BuildAdapterDescriptor(uint32_t maxTransfer, uint32_t maxPhysicalPages,
                                            uint32_t alignmentMask, uint8_t busType);

/// The 24-byte DISK_GEOMETRY Windows reports for every disk: 255 heads, 63
/// sectors per track, cylinders from the length.
void BuildDiskGeometry(uint8_t* out, int64_t length, uint32_t bytesPerSector, bool removable);

/// Writes roots as GetLogicalDriveStrings does ("root\" NUL ... NUL); returns
/// the length written, or the length needed when `capacity` is too small.
uint32_t WriteDriveStrings(const std::vector<std::string>& roots, uint32_t capacity, char* buffer);

}  // namespace quarnel
