// The drive's own erase: the command bytes against the published layouts,
// the answers, and the sample check.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "ata/AtaSanitize.h"
#include "erase/SampleCheck.h"
#include "host/HostConstants.h"
#include "nvme/NvmeErase.h"

namespace quarnel::test {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Slice(const uint8_t* p, size_t from, size_t n) { return Bytes(p + from, p + from + n); }

// Submission queue entries: opcode in byte 0, NSID in bytes 4-7, CDW10 in
// 40-43, CDW11 in 44-47 (NVMe base specification, common command format).
// Format NVM CDW10: LBAF 3:0, MSET 4, PI 7:5, PIL 8, SES 11:9. Sanitize CDW10:
// SANACT 2:0, AUSE 3, OWPASS 7:4; CDW11 the overwrite pattern.
TEST(FirmwareCommandBytes, NvmeFormatAndSanitize) {
  TNvmeNamespace plain;
  TNvmeCommand c = NvmeFormatCommand(1, plain, 1);
  EXPECT_EQ(Slice(c.data(), 0, 8), (Bytes{0x80, 0, 0, 0, 0x01, 0, 0, 0}));
  EXPECT_EQ(Slice(c.data(), 40, 4), (Bytes{0x00, 0x02, 0, 0}));
  c = NvmeFormatCommand(0xFFFFFFFF, plain, 2);
  EXPECT_EQ(Slice(c.data(), 4, 4), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(Slice(c.data(), 40, 4), (Bytes{0x00, 0x04, 0, 0}));
  // The namespace's own format kept: FLBAS 12h (format 2, metadata at the end
  // of each block), DPS 09h (protection type 1, first bytes): CDW10 332h | SES.
  TNvmeNamespace formatted;
  formatted.FormattedLbaSize = 0x12;
  formatted.ProtectionSettings = 0x09;
  c = NvmeFormatCommand(1, formatted, 1);
  EXPECT_EQ(Slice(c.data(), 40, 4), (Bytes{0x32, 0x03, 0, 0}));

  const struct {
    uint8_t sanact;
    Bytes cdw10;
  } sanitize[] = {{2, {0x0A, 0, 0, 0}}, {4, {0x0C, 0, 0, 0}}, {3, {0x1B, 0, 0, 0}}};
  for (const auto& s : sanitize) {
    c = NvmeSanitizeCommand(s.sanact);
    EXPECT_EQ(c[0], 0x84);
    EXPECT_EQ(Slice(c.data(), 4, 4), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(Slice(c.data(), 40, 8), (Bytes{s.cdw10[0], 0, 0, 0, 0, 0, 0, 0}));
  }

  // The same entry as LinuxHost hands it to NVME_IOCTL_ADMIN_CMD (struct
  // nvme_admin_cmd: nsid at 4, cdw10 at 40, timeout_ms at 64).
  uint8_t in[win::kNVME_ERASE_IN_SIZE];
  BuildNvmeEraseRequest(NvmeSanitizeCommand(2), 60000, in);
  TNvmeErase e;
  ASSERT_EQ(ParseNvmeEraseRequest(in, sizeof in, 8, &e), 0u);
  uint8_t admin[72];
  NvmeAdminFromErase(e, admin);
  EXPECT_EQ(Slice(admin, 0, 8), (Bytes{0x84, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Slice(admin, 40, 4), (Bytes{0x0A, 0, 0, 0}));
  EXPECT_EQ(Slice(admin, 64, 4), (Bytes{0x60, 0xEA, 0, 0}));
  // Identify or anything else is no erase: refused.
  in[0] = 0x06;
  EXPECT_EQ(ParseNvmeEraseRequest(in, sizeof in, 8, &e), win::kERROR_NOT_SUPPORTED);
}

// SANITIZE (ACS): B4h with the subcommand in FEATURE and its key in LBA
// ("BkEr", "Cryp"; OVERWRITE "OW" in LBA 47:32, the pattern in 31:0, the pass
// count in COUNT 3:0), carried in an ATA_PASS_THROUGH_EX.
TEST(FirmwareCommandBytes, AtaSanitizeRegisters) {
  // The slave's DEV bit.
  EXPECT_EQ(AtaSanitizeCommand(TAtaSanitize::BlockErase, 1).Current.DriveHead, 0x50);

  // ATA_PASS_THROUGH_EX: Length, AtaFlags (DRDY_REQUIRED | 48BIT_COMMAND),
  // the high bytes in PreviousTaskFile, the low in CurrentTaskFile.
  const std::vector<uint8_t> request =
      BuildAtaPassThrough(AtaSanitizeCommand(TAtaSanitize::BlockErase, 0), 0, 60);
  ASSERT_EQ(request.size(), win::kATA_PASS_THROUGH_EX_SIZE);
  const uint8_t* ex = request.data();
  EXPECT_EQ(Slice(ex, win::kATA_PT_TimeOutValue, 4), (Bytes{60, 0, 0, 0}));
  EXPECT_EQ(Slice(ex, 0, 4),
            (Bytes{static_cast<uint8_t>(win::kATA_PASS_THROUGH_EX_SIZE), 0, 0x09, 0x00}));
  EXPECT_EQ(Slice(ex, win::kATA_PT_PreviousTaskFile, 8), (Bytes{0, 0, 0x42, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Slice(ex, win::kATA_PT_CurrentTaskFile, 8),
            (Bytes{0x12, 0, 0x72, 0x45, 0x6B, 0x40, 0xB4, 0}));
}

// What comes back: SANITIZE STATUS EXT's COUNT bits 15/14/13 and progress
// in LBA 15:0, and the NVMe sanitize status log (SPROG at 0, SSTAT at 2).
TEST(FirmwareCommandBytes, Answers) {
  // Error, count, LBA 7:0, 15:8, 23:16, device, status; then the high bytes.
  TAtaTaskFile r;
  r.Ext = true;
  r.Current = {0x00, 0x00, 0x34, 0x12, 0, 0x40, 0x50};
  r.Previous = {0, 0x40, 0, 0, 0, 0, 0};
  TAtaSanitizeStatus s = DecodeAtaSanitizeStatus(r);
  EXPECT_TRUE(s.InProgress);
  EXPECT_FALSE(s.CompletedWithoutError || s.Frozen || s.Aborted);
  EXPECT_EQ(s.Progress, 0x1234);
  r.Current = {0x04, 0x00, 0x03, 0, 0, 0x40, 0x51};
  r.Previous = {0, 0x20, 0, 0, 0, 0, 0};
  s = DecodeAtaSanitizeStatus(r);
  EXPECT_TRUE(s.Aborted && s.Frozen);
  EXPECT_EQ(s.Reason, 3);

  uint8_t log[512] = {0x00, 0x80, 0x02, 0x00};
  EXPECT_EQ(DecodeNvmeSanitizeStatus(log).Progress, 0x8000);
  EXPECT_EQ(DecodeNvmeSanitizeStatus(log).State, 2);

  // Windows carries only Sanitize block and crypto erase: STORAGE_REINITIALIZE_MEDIA
  // {16, 16, seconds, SanitizeMethod 1 or 2}.
  uint8_t in[win::kNVME_ERASE_IN_SIZE];
  BuildNvmeEraseRequest(NvmeSanitizeCommand(4), 60000, in);
  TNvmeErase e;
  ParseNvmeEraseRequest(in, sizeof in, 8, &e);
  uint8_t media[16];
  ASSERT_TRUE(ReinitializeMediaFor(e, media));
  EXPECT_EQ(Bytes(media, media + 16), (Bytes{16, 0, 0, 0, 16, 0, 0, 0, 60, 0, 0, 0, 2, 0, 0, 0}));
  BuildNvmeEraseRequest(NvmeSanitizeCommand(3), 60000, in);
  ParseNvmeEraseRequest(in, sizeof in, 8, &e);
  EXPECT_FALSE(ReinitializeMediaFor(e, media));
}

TEST(SampleCheck, SamplesEdgesAndSpread) {
  const auto list = SampleSectors(1000000, 512);
  EXPECT_EQ(list.front(), 0);
  EXPECT_EQ(list.back(), 999999);
  EXPECT_GE(list.size(), 2048u + 1000u);
  EXPECT_TRUE(std::is_sorted(list.begin(), list.end()));
  // A drive smaller than two MiB is sampled whole, once.
  EXPECT_EQ(SampleSectors(100, 512).size(), 100u);

  std::vector<TSampledSector> before = {{0, true, false, 1}, {1, true, true, 2}};
  std::vector<TSampledSector> after = {{0, true, true, 9}, {1, true, true, 2}};
  EXPECT_EQ(CompareSamples(before, after, TErasedPattern::Zeros).Result, TSampleResult::Erased);
  after[0].Hash = 1;  // the data sector reads as before
  EXPECT_EQ(CompareSamples(before, after, TErasedPattern::Zeros).Result, TSampleResult::NotErased);
  before[0].Blank = true;  // everything was blank before: proves nothing
  EXPECT_EQ(CompareSamples(before, after, TErasedPattern::Zeros).Result,
            TSampleResult::Inconclusive);
}

}  // namespace
}  // namespace quarnel::test
