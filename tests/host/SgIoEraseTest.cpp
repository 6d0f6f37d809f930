// ATA PASS-THROUGH (16) for the 48-bit SANITIZE commands, and the registers
// they return, against SAT's layouts.
#include <gtest/gtest.h>

#include "ata/AtaSanitize.h"
#include "host/linux/SgIoErase.h"

namespace quarnel {
namespace {

// SAT: byte 1 protocol 3 (non-data) << 1 | EXTEND, byte 2 CK_COND; then
// FEATURE 15:8, 7:0, COUNT 15:8, 7:0, LBA 31:24, 7:0, 39:32, 15:8, 47:40,
// 23:16, DEVICE, COMMAND.
TEST(SgIoErase, SanitizeCdbs) {
  const struct {
    TAtaSanitize sub;
    std::array<uint8_t, 16> cdb;
  } cases[] = {
      {TAtaSanitize::BlockErase,
       {0x85, 0x07, 0x20, 0, 0x12, 0, 0, 0x42, 0x72, 0, 0x45, 0, 0x6B, 0x40, 0xB4, 0}},
      {TAtaSanitize::CryptoScramble,
       {0x85, 0x07, 0x20, 0, 0x11, 0, 0, 0x43, 0x70, 0, 0x79, 0, 0x72, 0x40, 0xB4, 0}},
      {TAtaSanitize::Overwrite,
       {0x85, 0x07, 0x20, 0, 0x14, 0, 0x01, 0, 0, 0x57, 0, 0x4F, 0, 0x40, 0xB4, 0}},
      {TAtaSanitize::Status, {0x85, 0x07, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0xB4, 0}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(sgio::BuildAtaPassThrough16Ext(AtaSanitizeCommand(c.sub, 0)), c.cdb)
        << static_cast<int>(c.sub);
  }
}

TEST(SgIoErase, ReturnedRegisters) {
  const uint8_t sense[] = {0x72, 0x01, 0x00, 0x1D, 0,    0, 0,    14, 0x09, 12,   0x01,
                           0x00, 0x40, 0x00, 0,    0x34, 0, 0x12, 0,  0,    0x40, 0x50};
  TAtaReturn48 r;
  ASSERT_TRUE(sgio::ParseAtaReturn48(sense, sizeof sense, &r));
  EXPECT_EQ(r.Count, 0x4000);
  EXPECT_EQ(r.Lba, 0x1234u);
  EXPECT_EQ(r.Status, 0x50);
  EXPECT_TRUE(DecodeAtaSanitizeStatus(r).InProgress);
}

}  // namespace
}  // namespace quarnel
