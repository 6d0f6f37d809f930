#include "devices/DriveWwn.h"

#include <cstring>

#include "ata/AtaCommands.h"
#include "ata/HiddenArea.h"
#include "ata/IdentifyDecode.h"
#include "devices/DeviceTable.h"
#include "host/HostConstants.h"
#include "nvme/NvmeCommands.h"

namespace quarnel {

std::vector<std::string> ReadDriveWwns(THandle handle, const TIdentifyDeviceData& id) {
  std::vector<std::string> names;
  if (id.BusType == TBusType::Nvme) {
    TNvmeIdentifyBlock block = {};
    if (!NvmeIdentifyNamespace(handle, block)) return names;
    const TNvmeNamespace ns = DecodeNvmeNamespace(block);
    for (const std::string* name : {&ns.Eui64, &ns.Nguid}) {
      if (!name->empty()) names.push_back(*name);
    }
    return names;
  }
  // Cards and virtual disks are not asked ATA commands, as for hidden areas.
  if (!HiddenAreasPossible(id.BusType)) return names;
  TAtaBlock block = {};
  if (!ReadIdentifyData(handle, id.IsIDESlave, block)) return names;
  uint8_t copy[kIdentifyBlockSize];
  std::memcpy(copy, block, sizeof copy);
  const std::string wwn = IdentifyWwn(copy);
  if (!wwn.empty()) names.push_back(wwn);
  return names;
}

std::vector<std::string> ReadDriveWwnsAt(const std::string& path, const TIdentifyDeviceData& id) {
  Host& host = GetHost();
  const THandle handle =
      host.CreateFileU8(path, win::kGENERIC_READ, win::kFILE_SHARE_READ | win::kFILE_SHARE_WRITE,
                        win::kOPEN_EXISTING, 0);
  if (handle == kInvalidHandle) return {};
  std::vector<std::string> names = ReadDriveWwns(handle, id);
  host.CloseHandle(handle);
  return names;
}

std::string NormalWwn(const std::string& text) {
  std::string digits = text;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    digits.erase(0, 2);
  }
  if (digits.empty()) return "";
  for (char& c : digits) {
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return "";
  }
  return digits;
}

}  // namespace quarnel
