// The sanitize status replies over any bytes: SANITIZE STATUS EXT's
// pass-through reply (ATA) and the sanitize status log through the storage
// query (NVMe), from the fuzzer's bytes; and the decoders fed directly.
#include <cstdint>
#include <cstring>

#include "FuzzHost.h"
#include "ata/AtaSanitize.h"
#include "host/Bytes.h"
#include "nvme/NvmeErase.h"

namespace {

using namespace quarnel;

void CheckAta(const TAtaTaskFile& r) {
  const uint64_t lba = r.Lba48();
  const uint16_t count = r.Count16();
  const uint8_t status = r.Current.Command;
  if (lba >= (uint64_t{1} << 48)) __builtin_trap();  // six LBA registers
  const TAtaSanitizeStatus s = DecodeAtaSanitizeStatus(r);
  if (s.Aborted != ((status & 0x01) != 0) || (!s.Aborted && s.Reason != 0) ||
      (s.Aborted && s.Reason != (lba & 0xFF)) || s.Progress != (lba & 0xFFFF) ||
      s.CompletedWithoutError != ((count & 0x8000) != 0) ||
      s.InProgress != ((count & 0x4000) != 0) || s.Frozen != ((count & 0x2000) != 0)) {
    __builtin_trap();
  }
  if (AtaSanitizeReasonText(s.Reason).empty()) __builtin_trap();
}

void CheckNvme(const uint8_t (&log)[512]) {
  const TNvmeSanitizeStatus s = DecodeNvmeSanitizeStatus(log);
  if (s.State > 7 || s.Progress != GetU16(log, 0) ||
      s.GlobalDataErased != ((GetU16(log, 2) & 0x100) != 0)) {
    __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  TAtaTaskFile direct;
  direct.Ext = true;
  direct.Current.Features = in.ConsumeIntegral<uint8_t>();  // the error register
  direct.Current.Command = in.ConsumeIntegral<uint8_t>();   // the status register
  direct.SetCount16(in.ConsumeIntegral<uint16_t>());
  direct.SetLba48(in.ConsumeIntegral<uint64_t>() & 0xFFFFFFFFFFFFull);
  CheckAta(direct);
  if (NvmeStatusText(in.ConsumeIntegral<uint32_t>()).empty()) __builtin_trap();

  SetHost(std::make_unique<TFuzzHost>(in));
  for (uint8_t drive = 0; drive < 2; ++drive) {
    TAtaTaskFile r;
    if (AtaSendSanitize(1, AtaSanitizeCommand(TAtaSanitize::Status, drive), 10, &r)) CheckAta(r);
  }
  uint8_t log[512];
  std::memset(log, 0xEE, sizeof log);
  if (NvmeReadSanitizeLog(1, log)) CheckNvme(log);
  SetHost(nullptr);
  return 0;
}
