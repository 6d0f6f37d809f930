// The one store of the drives found by the scan, addressed 1..16.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "ata/Identification.h"
#include "devices/DriveIdentity.h"
#include "host/Host.h"

namespace quarnel {

struct TDeviceTable {
  std::string DevicePath;
  uint32_t DeviceNumber = 0;
  TIdentifyDeviceData IdentifyData;
  TDriveIdentity Identity;  // as the scan found it; compared before the drive is written
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

/// Sixteen entries indexed 1..16, or as many as Widen made; any other index
/// is a range error.
class TDeviceTableArray {
 public:
  TDeviceTable& operator[](int64_t index);
  const TDeviceTable& operator[](int64_t index) const;
  int64_t Size() const { return static_cast<int64_t>(entries_.size()); }
  /// At least `entries` entries, all empty (before a scan).
  void Widen(int64_t entries);

 private:
  std::vector<TDeviceTable> entries_ = std::vector<TDeviceTable>(kDeviceTableSize);
};

/// The most drives a scan enters: kMaxScannedDevices for the desktop
/// program; the terminal program, made for racks of drives, enters every
/// drive number there is (kAllDriveNumbers) into a table widened to hold them.
extern int64_t MaxScannedDevices;
inline constexpr int64_t kAllDriveNumbers = 256;

extern TDeviceTableArray DeviceTable;
extern int64_t DeviceCount;
extern int64_t SelectedDevice;  // -1 until the chooser sets it

/// The chosen drive, opened for reading and writing without sharing by the
/// main window; kInvalidHandle until opened and after it is closed. The
/// reports and the format borrow it.
extern THandle DeviceHandle;

/// The one-line description of the chosen drive, kept after the choice.
extern std::string DeviceDescription;

/// What N in a drive's description is: the system's drive number (the
/// desktop program), or, when set, the drive's place in the list from 1 (the
/// terminal program, which takes drives by that number).
extern bool NumberDrivesByListPlace;
/// With NumberDrivesByListPlace, when set, the number the chosen drive is
/// shown with instead (a batch's member, which scans its own drive alone,
/// shows the drive's place in the batch's list).
extern int64_t ShownListPlace;

/// "[N]  model    firmware    [capacity]    (LBA size-字节扇区)".
std::string GetDeviceDescription(const TDeviceTableArray& table, int64_t index);

/// The bus of ATA drives, the only ones asked twice for IDENTIFY and the
/// only ones whose SMART state is switched for a SMART read; of NVMe drives,
/// whose reports come from Identify and the health log instead. Names of
/// TBusType's values, kept for the reports that use them.
inline constexpr TBusType kBusTypeAta = TBusType::Ata;
inline constexpr TBusType kBusTypeNvme = TBusType::Nvme;

/// Display text of a bus.
std::string BusTypeName(TBusType bus);

/// Empties the table and the selection, and forgets the handle without
/// closing it (tests).
void ResetDeviceTable();

}  // namespace quarnel
