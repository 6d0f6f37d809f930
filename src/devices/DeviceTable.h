// The one store of the drives found by the scan, addressed 1..16.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace quarnel {

struct TIdentifyDeviceData {
  std::string Model;
  std::string FW;
  std::string SN;
  int64_t LBA = 0;
  int64_t SectorSize = 0;
  int64_t BusType = 0;
  int64_t MaximumSectorsTransfer = 0;
  bool RemovableMedia = false;
  uint8_t IsIDESlave = 0;
};

struct TDeviceTable {
  std::string DevicePath;
  uint32_t DeviceNumber = 0;
  TIdentifyDeviceData IdentifyData;
  // Image-file entries are never made; the fields keep their empty values.
  bool IsFile = false;
  std::string FilePath;
  int64_t FileSize = 0;
  bool IsCompressed = false;
  std::string FileVersion;
  std::string AssociatedPartitions;
};

inline constexpr int64_t kDeviceTableSize = 16;
inline constexpr int64_t kMaxScannedDevices = 15;

/// Sixteen entries indexed 1..16; any other index is a range error.
class TDeviceTableArray {
 public:
  TDeviceTable& operator[](int64_t index);
  const TDeviceTable& operator[](int64_t index) const;

 private:
  std::array<TDeviceTable, kDeviceTableSize> entries_{};
};

extern TDeviceTableArray DeviceTable;
extern int64_t DeviceCount;
extern int64_t SelectedDevice;  // -1 until the chooser sets it

/// Display text of a bus type code.
std::string BusTypeName(int64_t busType);

/// Empties the table and the selection (tests).
void ResetDeviceTable();

}  // namespace quarnel
