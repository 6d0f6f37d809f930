// The NVMe decoders and both reports' lines over any bytes: the input is
// zero-filled or cut to an Identify block and read as a health log too.
#include <cstdint>
#include <cstring>
#include <string>

#include "nvme/NvmeDecode.h"
#include "reports/NvmeReports.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quarnel::TNvmeIdentifyBlock block = {};
  std::memcpy(block, data, size < sizeof block ? size : sizeof block);
  const quarnel::TNvmeController c = quarnel::DecodeNvmeController(block);
  const quarnel::TNvmeNamespace n = quarnel::DecodeNvmeNamespace(block);
  if (n.BlockSize != 0 && (n.BlockSize < 512 || (n.BlockSize & (n.BlockSize - 1)) != 0)) {
    __builtin_trap();
  }
  (void)quarnel::NvmeDetailsLines(c, n);
  quarnel::TNvmeHealthBlock log;
  std::memcpy(log, block, sizeof log);
  const quarnel::TNvmeHealth h = quarnel::DecodeNvmeHealth(log);
  // The portable 128-bit decimal against the compiler's own 128-bit integer.
  unsigned __int128 v =
      (static_cast<unsigned __int128>(h.DataUnitsRead.High) << 64) | h.DataUnitsRead.Low;
  std::string native;
  do {
    native.insert(native.begin(), static_cast<char>('0' + static_cast<int>(v % 10)));
    v /= 10;
  } while (v != 0);
  if (native != quarnel::DecText128(h.DataUnitsRead)) __builtin_trap();
  (void)quarnel::NvmeHealthLines(h);
  return 0;
}
