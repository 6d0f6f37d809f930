#include "ata/Identification.h"

#include <algorithm>
#include <cstring>

#include "base/Logging.h"
#include "base/Text.h"
#include "host/Bytes.h"
#include "host/HostConstants.h"

namespace quarnel {

namespace {

constexpr uint32_t kReplySize = 512;

// The adapter descriptor used when the adapter query is refused.
void StandByAdapterDescriptor(uint8_t* d) {
  std::memset(d, 0, win::kSTORAGE_ADAPTER_DESCRIPTOR_SIZE);
  PutU32(d, win::kADAPTER_Version, 32);
  PutU32(d, win::kADAPTER_Size, 32);
  PutU32(d, win::kADAPTER_MaximumTransferLength, 65536);
  PutU32(d, win::kADAPTER_MaximumPhysicalPages, 1);
  PutU32(d, win::kADAPTER_AlignmentMask, 1);
  d[win::kADAPTER_BusType] = static_cast<uint8_t>(TBusType::Flash);
}

std::string DumpArea(const uint8_t* area) {
  std::string dump = "Buffer: " + DecText(kReplySize) + " bytes\r\n";
  for (uint32_t i = 0; i < kReplySize; ++i) {
    dump += ' ';
    dump += Hex2(area[i]);
    if (i % 16 == 15) dump += "\r\n";
  }
  return dump;
}

bool IsStageOneCode(unsigned code) {
  return code == 0 || (code >= 0x30 && code <= 0x39) || (code >= 0x41 && code <= 0x5A) ||
         (code >= 0x61 && code <= 0x7A);
}

unsigned HexValue(char c) {
  return (c >= '0' && c <= '9') ? static_cast<unsigned>(c - '0')
                                : static_cast<unsigned>(c - 'A' + 10);
}

unsigned PairValue(char high, char low) { return HexValue(high) * 16 + HexValue(low); }

bool Request(Host& host, THandle handle, uint32_t code, const void* in, uint32_t inSize,
             uint8_t* out, uint32_t* error) {
  uint32_t returned = 0;
  const bool ok = host.DeviceIoControl(handle, code, in, inSize, out, kReplySize, &returned);
  *error = ok ? 0 : host.GetLastError();
  // A refusal that leaves no error code counts as done with an empty reply.
  if (!ok && *error == 0) std::memset(out, 0, kReplySize);
  return ok;
}

}  // namespace

std::string ScanDescriptorText(const uint8_t* area, uint32_t offset, uint32_t size) {
  std::string bytes;
  if (offset == 0 || offset > size) return bytes;
  for (uint64_t i = offset; i <= size && i < kReplySize; ++i) {
    if (area[i] == 0) break;
    bytes += static_cast<char>(area[i]);
  }
  return bytes;
}

std::string SerialFromDescriptorBytes(const std::string& scanned) {
  uint8_t area[kReplySize] = {};
  std::memcpy(area, scanned.data(), std::min<size_t>(scanned.size(), kReplySize));
  std::string text;
  for (uint32_t i = 0; i < kReplySize; i += 2) {
    text += Latin1CharToUtf8(area[i + 1]);
    text += Latin1CharToUtf8(area[i]);
  }
  return Trim(text);
}

std::string RecoverHexSerial(const std::string& serial) {
  AddDebugLog("Performing the WinXP SN trick...");
  std::string t = UpperAscii(serial);
  for (char& c : t) {
    if (c == '_' || c == ' ') c = '2';
  }
  if (t.size() != 40) return serial;
  for (char c : t) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return serial;
  }
  AddDebugLog("Stage 1...");
  std::string result;
  bool stageOne = true;
  for (size_t k = 0; k < 10; ++k) {
    const char* g = t.data() + 4 * k;
    for (unsigned code : {PairValue(g[2], g[3]), PairValue(g[0], g[1])}) {
      if (!IsStageOneCode(code)) stageOne = false;
      result += Latin1CharToUtf8(static_cast<uint8_t>(code));
    }
  }
  if (!stageOne) {
    AddDebugLog("Stage 2...");
    result.clear();
    for (size_t k = 0; k < 10; ++k) {
      const char* g = t.data() + 4 * k;
      result += Latin1CharToUtf8(static_cast<uint8_t>(PairValue(g[3], g[2])));
      result += Latin1CharToUtf8(static_cast<uint8_t>(PairValue(g[1], g[0])));
    }
  }
  return Trim(result);
}

uint8_t IsSlaveDevice(THandle handle) {
  Host& host = GetHost();
  uint8_t version[28] = {};
  uint32_t returned = 0;
  if (host.DeviceIoControl(handle, win::kSMART_GET_VERSION, nullptr, 0, version, sizeof version,
                           &returned)) {
    return (version[win::kGETVERSION_bIDEDeviceMap] & 0xAA) != 0 ? 1 : 0;
  }
  uint8_t inquiry[kReplySize] = {};
  if (host.DeviceIoControl(handle, win::kIOCTL_SCSI_GET_INQUIRY_DATA, nullptr, 0, inquiry,
                           sizeof inquiry, &returned)) {
    return inquiry[13] & 1;
  }
  return 0;
}

int64_t IdentifyDevice(THandle handle, TIdentifyDeviceData& record, uint32_t* refusal) {
  Host& host = GetHost();
  *refusal = 0;
  TIdentifyDeviceData rec;
  uint8_t reply[kReplySize] = {};
  uint32_t error = 0;

  AddDebugLog("Getting geometry...");
  bool ok =
      Request(host, handle, win::kIOCTL_DISK_GET_DRIVE_GEOMETRY, reply, kReplySize, reply, &error);
  if (!ok && error != 0) return -1;
  AddDebugLog("Done " + FlagText(ok));
  int64_t bytesPerSector = GetU32(reply, win::kDISK_GEOMETRY_BytesPerSector);
  AddDebugLog("Sector size = " + DecText(bytesPerSector));

  std::memset(reply, 0, kReplySize);
  AddDebugLog("Getting disk length...");
  ok = Request(host, handle, win::kIOCTL_DISK_GET_LENGTH_INFO, reply, kReplySize, reply, &error);
  if (!ok && error != 0) {
    AddDebugLog("Error accessing device: " + SystemErrorText(error));
    return -1;
  }
  AddDebugLog("Done " + FlagText(ok));
  const auto length = static_cast<int64_t>(GetU64(reply, 0));
  AddDebugLog("Media \"Length\" = " + DecText(length));

  uint8_t query[win::kSTORAGE_PROPERTY_QUERY_SIZE] = {};
  uint8_t adapter[win::kSTORAGE_ADAPTER_DESCRIPTOR_SIZE];
  std::memset(reply, 0, kReplySize);
  PutU32(query, 0, win::kStorageAdapterProperty);
  PutU32(query, 4, win::kPropertyStandardQuery);
  AddDebugLog("Querying storage property (adapter)...");
  ok =
      Request(host, handle, win::kIOCTL_STORAGE_QUERY_PROPERTY, query, sizeof query, reply, &error);
  if (ok) {
    AddDebugLog("Done " + FlagText(ok));
    std::memcpy(adapter, reply, sizeof adapter);
  } else {
    AddDebugLog("Skipped " + FlagText(ok));
    StandByAdapterDescriptor(adapter);
  }

  std::memset(reply, 0, kReplySize);
  PutU32(query, 0, win::kStorageDeviceProperty);
  AddDebugLog("Querying storage property (device)...");
  ok =
      Request(host, handle, win::kIOCTL_STORAGE_QUERY_PROPERTY, query, sizeof query, reply, &error);
  if (!ok && error != 0) {
    *refusal = error;
    return -1;
  }
  AddDebugLog("Done " + FlagText(ok));
  AddDebugLog(DumpArea(reply));

  AddDebugLog("Parsing data...");
  const uint32_t size = GetU32(reply, win::kDEVICE_Size);
  auto text = [&](uint32_t field) { return ScanDescriptorText(reply, GetU32(reply, field), size); };
  // The drive's texts reach logs, terminals and windows: shown, never obeyed.
  const std::string vendor =
      UnambiguousText(Trim(Latin1ToUtf8(text(win::kDEVICE_VendorIdOffset)))) + " ";
  AddDebugLog("VendorID: " + vendor);
  const std::string product =
      UnambiguousText(Trim(Latin1ToUtf8(text(win::kDEVICE_ProductIdOffset))));
  AddDebugLog("ProductID: " + product);
  const std::string revision =
      UnambiguousText(Trim(Latin1ToUtf8(text(win::kDEVICE_ProductRevisionOffset))));
  AddDebugLog("ProductRevision: " + revision);
  std::string serial = SerialFromDescriptorBytes(text(win::kDEVICE_SerialNumberOffset));
  AddDebugLog("SerialNumber: " + VisibleText(serial));

  const int64_t sectors = bytesPerSector >= 512 ? length / bytesPerSector : 0;
  AddDebugLog("Sectors: " + DecText(sectors));
  AddDebugLog("SectorSize: " + DecText(bytesPerSector));

  rec.BusType = BusTypeFromCode(adapter[win::kADAPTER_BusType]);
  if (rec.BusType == TBusType::Ata || rec.BusType == TBusType::Sata) {
    rec.IsIDESlave = IsSlaveDevice(handle);
  }
  rec.RemovableMedia = reply[win::kDEVICE_RemovableMedia] != 0;

  if (bytesPerSector < 512) bytesPerSector = 512;
  rec.MaximumSectorsTransfer =
      static_cast<int64_t>(GetU32(adapter, win::kADAPTER_MaximumTransferLength)) / bytesPerSector;
  if (rec.MaximumSectorsTransfer > 250) rec.MaximumSectorsTransfer = 250;
  AddDebugLog("MaxTransfer: " + DecText(rec.MaximumSectorsTransfer));

  rec.LBA = sectors;
  rec.SectorSize = bytesPerSector;
  rec.Model = vendor + product;
  if (Trim(rec.Model).empty()) rec.Model = "Storage Device";
  rec.FW = Trim(revision).empty() ? "0000" : revision;
  if (Utf8Length(serial) == 40) serial = RecoverHexSerial(serial);
  serial = UnambiguousText(serial);
  rec.SN = Trim(serial).empty() ? "000000" : serial;

  record = rec;
  return 0;
}

}  // namespace quarnel
