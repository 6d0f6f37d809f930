// DecodeIdentifyData and the details lines over any bytes (short inputs are
// zero-filled to a block).
#include <cstdint>
#include <cstring>

#include "ata/IdentifyDecode.h"
#include "reports/DeviceDetails.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t block[quarnel::kIdentifyBlockSize] = {};
  std::memcpy(block, data, size < sizeof block ? size : sizeof block);
  const quarnel::T_IDE_PASSPORT p = quarnel::DecodeIdentifyData(block);
  if (p.sectorsize != 512 || p.lbasectors < 0) __builtin_trap();
  (void)quarnel::DeviceDetailsLines(p);
  return 0;
}
