// The self-test log decoders over any bytes: the ATA log (06h) with its
// checksum and circular index, the NVMe log (06h), and the report's lines.
#include <cstdint>
#include <vector>

#include "ata/AtaSelfTest.h"
#include "nvme/NvmeSelfTest.h"
#include "reports/SelfTest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quarnel;
  std::vector<TSelfTestEntry> entries;
  // The bytes as given (any size but 512 is refused), and padded to a block
  // with the checksum made right, so the decoding past it is reached too.
  if (DecodeAtaSelfTestLog(data, size, &entries) && size != kAtaBlockSize) __builtin_trap();
  uint8_t block[kAtaBlockSize] = {};
  for (size_t i = 0; i < size && i < sizeof block; ++i) block[i] = data[i];
  uint8_t sum = 0;
  for (size_t i = 0; i + 1 < sizeof block; ++i) sum = static_cast<uint8_t>(sum + block[i]);
  block[511] = static_cast<uint8_t>(-sum);
  const bool ata = DecodeAtaSelfTestLog(block, sizeof block, &entries);
  if (ata != (block[508] <= 21) || entries.size() > 21) __builtin_trap();
  TSelfTestFacts facts;
  facts.Asked = facts.Offered = facts.LogRead = true;
  facts.Log = entries;
  SelfTestLines(facts, entries.size());

  TSelfTestProgress progress;
  uint8_t nvme[kNvmeSelfTestLogSize] = {};
  for (size_t i = 0; i < size && i < sizeof nvme; ++i) nvme[i] = data[i];
  if (!DecodeNvmeSelfTestLog(nvme, sizeof nvme, &progress, &entries) || entries.size() > 20 ||
      progress.RemainingPercent < 0 || progress.RemainingPercent > 100) {
    __builtin_trap();
  }
  facts.Log = entries;
  facts.Nvme = true;
  SelfTestLines(facts, entries.size());
  return 0;
}
