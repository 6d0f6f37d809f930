#include "devices/DeviceTable.h"

#include <stdexcept>

#include "base/NumberTexts.h"
#include "base/Text.h"

namespace quarnel {

TDeviceTableArray DeviceTable;
int64_t DeviceCount = 0;
int64_t SelectedDevice = -1;
THandle DeviceHandle = kInvalidHandle;
std::string DeviceDescription;
bool NumberDrivesByListPlace = false;
int64_t MaxScannedDevices = kMaxScannedDevices;
int64_t ShownListPlace = 0;

namespace {
void CheckIndex(int64_t index, int64_t size) {
  if (index < 1 || index > size) {
    throw std::out_of_range("device table index " + std::to_string(index) + " outside 1.." +
                            std::to_string(size));
  }
}
}  // namespace

TDeviceTable& TDeviceTableArray::operator[](int64_t index) {
  CheckIndex(index, Size());
  return entries_[static_cast<size_t>(index - 1)];
}

const TDeviceTable& TDeviceTableArray::operator[](int64_t index) const {
  CheckIndex(index, Size());
  return entries_[static_cast<size_t>(index - 1)];
}

void TDeviceTableArray::Widen(int64_t entries) {
  if (entries > Size()) entries_.resize(static_cast<size_t>(entries));
}

std::string BusTypeName(TBusType bus) {
  // In TBusType's order, Unknown to Ufs.
  static const char* const kNames[] = {"UNKNOWN",   "SCSI",   "ATAPI", "ATA",  "IEEE 1394",
                                       "SSA",       "FIBRE",  "USB",   "RAID", "ISCSI",
                                       "SAS",       "SATA",   "SD",    "MMC",  "VIRTUAL",
                                       "FBVIRTUAL", "SPACES", "NVME",  "SCM",  "UFS"};
  if (bus <= TBusType::Ufs) return kNames[static_cast<uint32_t>(bus)];
  if (bus == TBusType::Image) return "IMAGE";
  if (bus == TBusType::Flash) return "FLASH";
  return "UNKNOWN";
}

std::string GetDeviceDescription(const TDeviceTableArray& table, int64_t index) {
  const TDeviceTable& entry = table[index];
  const TIdentifyDeviceData& id = entry.IdentifyData;
  // Appended piece by piece: GCC 12 at -O3 warns falsely on "literal" + string.
  std::string text = "[";
  const int64_t place = ShownListPlace > 0 && index == SelectedDevice ? ShownListPlace : index;
  text += NumberDrivesByListPlace ? DecText(place) : DecTextU(entry.DeviceNumber);
  text += "]  " + Trim(id.Model) + "    " + Trim(id.FW);
  text += "    [" + SizeToStr(id.LBA * id.SectorSize);
  text += "]    (" + DecText(id.LBA) + " " + DecText(id.SectorSize) + "-字节扇区)";
  return text;
}

void ResetDeviceTable() {
  DeviceTable = TDeviceTableArray{};
  DeviceCount = 0;
  SelectedDevice = -1;
  DeviceHandle = kInvalidHandle;
  DeviceDescription.clear();
  NumberDrivesByListPlace = false;
  MaxScannedDevices = kMaxScannedDevices;
  ShownListPlace = 0;
}

}  // namespace quarnel
