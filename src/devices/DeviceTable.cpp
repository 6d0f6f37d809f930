#include "devices/DeviceTable.h"

#include <stdexcept>

namespace quarnel {

TDeviceTableArray DeviceTable;
int64_t DeviceCount = 0;
int64_t SelectedDevice = -1;

namespace {
void CheckIndex(int64_t index) {
  if (index < 1 || index > kDeviceTableSize) {
    throw std::out_of_range("device table index " + std::to_string(index) + " outside 1..16");
  }
}
}  // namespace

TDeviceTable& TDeviceTableArray::operator[](int64_t index) {
  CheckIndex(index);
  return entries_[static_cast<size_t>(index - 1)];
}

const TDeviceTable& TDeviceTableArray::operator[](int64_t index) const {
  CheckIndex(index);
  return entries_[static_cast<size_t>(index - 1)];
}

std::string BusTypeName(int64_t busType) {
  static const char* const kNames[] = {
      "UNKNOWN", "SCSI",  "ATAPI", "ATA",  "IEEE 1394", "SSA", "FIBRE",   "USB",
      "RAID",    "ISCSI", "SAS",   "SATA", "SD",        "MMC", "VIRTUAL", "FBVIRTUAL"};
  if (busType >= 0 && busType <= 15) return kNames[busType];
  if (busType == 200) return "IMAGE";
  if (busType == 201) return "FLASH";
  return "UNKNOWN";
}

void ResetDeviceTable() {
  DeviceTable = TDeviceTableArray{};
  DeviceCount = 0;
  SelectedDevice = -1;
}

}  // namespace quarnel
