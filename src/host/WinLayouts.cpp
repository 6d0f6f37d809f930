#include "host/WinLayouts.h"

#include <algorithm>
#include <cstring>

#include "host/Bytes.h"
#include "host/HostConstants.h"

namespace quarnel {

std::vector<uint8_t> BuildDeviceDescriptor(const TDeviceTexts& t, bool serialAsGiven) {
  std::vector<uint8_t> desc(win::kSTORAGE_DEVICE_DESCRIPTOR_HEADER, 0);
  auto addText = [&](uint32_t field, const std::string& bytes) {
    if (bytes.empty()) return;  // absent texts have offset 0, as Windows gives them
    PutU32(desc.data(), field, static_cast<uint32_t>(desc.size()));
    desc.insert(desc.end(), bytes.begin(), bytes.end());
    desc.push_back(0);
  };
  std::string serial = t.Serial;
  if (!serialAsGiven) {
    // ATA word order: the first character of each pair in the second byte.
    if (serial.size() % 2 != 0) serial += ' ';
    for (size_t i = 0; i + 1 < serial.size(); i += 2) std::swap(serial[i], serial[i + 1]);
  }
  addText(win::kDEVICE_VendorIdOffset, t.Vendor);
  addText(win::kDEVICE_ProductIdOffset, t.Product);
  addText(win::kDEVICE_ProductRevisionOffset, t.Revision);
  addText(win::kDEVICE_SerialNumberOffset, serial);
  PutU32(desc.data(), win::kDEVICE_Version, win::kSTORAGE_DEVICE_DESCRIPTOR_HEADER);
  PutU32(desc.data(), win::kDEVICE_Size, static_cast<uint32_t>(desc.size()));
  desc[win::kDEVICE_RemovableMedia] = t.Removable ? 1 : 0;
  PutU32(desc.data(), win::kDEVICE_BusType, t.BusType);
  return desc;
}

std::vector<uint8_t> BuildAdapterDescriptor(uint32_t maxTransfer, uint32_t maxPhysicalPages,
                                            uint32_t alignmentMask, uint8_t busType) {
  std::vector<uint8_t> a(win::kSTORAGE_ADAPTER_DESCRIPTOR_SIZE, 0);
  PutU32(a.data(), win::kADAPTER_Version, win::kSTORAGE_ADAPTER_DESCRIPTOR_SIZE);
  PutU32(a.data(), win::kADAPTER_Size, win::kSTORAGE_ADAPTER_DESCRIPTOR_SIZE);
  PutU32(a.data(), win::kADAPTER_MaximumTransferLength, maxTransfer);
  PutU32(a.data(), win::kADAPTER_MaximumPhysicalPages, maxPhysicalPages);
  PutU32(a.data(), win::kADAPTER_AlignmentMask, alignmentMask);
  a[win::kADAPTER_BusType] = busType;
  return a;
}

void BuildDiskGeometry(uint8_t* out, int64_t length, uint32_t bytesPerSector, bool removable) {
  std::memset(out, 0, win::kDISK_GEOMETRY_SIZE);
  const int64_t perCylinder = int64_t{255} * 63 * std::max<uint32_t>(bytesPerSector, 1);
  PutU64(out, 0, static_cast<uint64_t>(length / perCylinder));
  PutU32(out, 8, removable ? 11 : 12);  // RemovableMedia / FixedMedia
  PutU32(out, 12, 255);
  PutU32(out, 16, 63);
  PutU32(out, win::kDISK_GEOMETRY_BytesPerSector, bytesPerSector);
}

uint32_t WriteDriveStrings(const std::vector<std::string>& roots, uint32_t capacity, char* buffer) {
  std::string all;
  for (const std::string& root : roots) {
    all += root + "\\";
    all += '\0';
  }
  const auto length = static_cast<uint32_t>(all.size());
  if (length + 1 > capacity) return length + 1;
  std::memcpy(buffer, all.data(), length);
  buffer[length] = '\0';
  return length;
}

}  // namespace quarnel
