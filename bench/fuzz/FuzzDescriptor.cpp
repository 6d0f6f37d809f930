// The device descriptor's text scan: the first eight bytes give the offset
// and the reported size, the rest fills the 512-byte reply area.
#include <cstdint>
#include <cstring>

#include "ata/Identification.h"
#include "host/Bytes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  const uint32_t offset = quarnel::GetU32(data, 0);
  const uint32_t reported = quarnel::GetU32(data, 4);
  uint8_t area[512] = {};
  std::memcpy(area, data + 8, size - 8 < sizeof area ? size - 8 : sizeof area);
  const std::string scanned = quarnel::ScanDescriptorText(area, offset, reported);
  if (scanned.size() > sizeof area) __builtin_trap();
  (void)quarnel::SerialFromDescriptorBytes(scanned);
  (void)quarnel::SerialFromDescriptorBytes(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
