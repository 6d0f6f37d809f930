// The hidden-area queries' bytes, written out from ACS-3/ACS-4 and the
// ATA_PASS_THROUGH_EX layout of ntddscsi.h, and the decoding of what the
// drive returns.
#include <gtest/gtest.h>

#include <vector>

#include "ata/HiddenArea.h"

namespace quarnel {
namespace {

// ATA_PASS_THROUGH_EX of a 64-bit program: Length 48, AtaFlags, PathId,
// TargetId, Lun, reserved, DataTransferLength, TimeOutValue (15 s),
// ReservedAsUlong, 4 bytes of padding, DataBufferOffset (8 bytes),
// PreviousTaskFile[8], CurrentTaskFile[8] (features, count, LBA low, mid,
// high, device, command, reserved).
std::vector<uint8_t> Header(uint8_t flags, std::vector<uint8_t> previous,
                            std::vector<uint8_t> current) {
  std::vector<uint8_t> b = {48, 0, flags, 0,               // Length, AtaFlags
                            0,  0, 0,     0,               // PathId, TargetId, Lun, reserved
                            0,  0, 0,     0,               // DataTransferLength
                            15, 0, 0,     0,               // TimeOutValue
                            0,  0, 0,     0,               // ReservedAsUlong
                            0,  0, 0,     0,               // padding to the ULONG_PTR
                            0,  0, 0,     0, 0, 0, 0, 0};  // DataBufferOffset
  b.insert(b.end(), previous.begin(), previous.end());
  b.insert(b.end(), current.begin(), current.end());
  return b;
}

TEST(HiddenAreaQuery, CommandBytesFollowTheStandards) {
  if (sizeof(void*) != 8) GTEST_SKIP() << "the bytes are written out for a 64-bit program";
  const std::vector<uint8_t> none(8, 0);
  // GET NATIVE MAX ADDRESS EXT: 78h, feature 0000h, 48-bit, non-data
  // (DRDY_REQUIRED | 48BIT_COMMAND); device bit 6 is N/A and sent set.
  EXPECT_EQ(BuildAtaPassThrough(NativeMaxTaskFile(TNativeMaxCommand::GetNativeMaxExt, 0), 0, 15),
            Header(0x09, none, {0x00, 0, 0, 0, 0, 0xE0, 0x78, 0}));
  // READ NATIVE MAX ADDRESS EXT: 27h, device bit 6 (LBA) one; the slave sets bit 4.
  EXPECT_EQ(BuildAtaPassThrough(NativeMaxTaskFile(TNativeMaxCommand::ReadNativeMaxExt, 1), 0, 15),
            Header(0x09, none, {0x00, 0, 0, 0, 0, 0xF0, 0x27, 0}));
  // READ NATIVE MAX ADDRESS: F8h, 28-bit.
  EXPECT_EQ(BuildAtaPassThrough(NativeMaxTaskFile(TNativeMaxCommand::ReadNativeMax, 0), 0, 15),
            Header(0x01, none, {0x00, 0, 0, 0, 0, 0xE0, 0xF8, 0}));
  // DEVICE CONFIGURATION IDENTIFY: B1h, feature C2h, PIO data-in of 512
  // bytes right after the header (DRDY_REQUIRED | DATA_IN); count N/A, sent as 1.
  std::vector<uint8_t> dco = Header(0x03, none, {0xC2, 1, 0, 0, 0, 0xA0, 0xB1, 0});
  dco[9] = 0x02;  // DataTransferLength 512 = 00000200h
  dco[24] = 48;   // DataBufferOffset: the data follows the header
  dco.resize(48 + 512, 0);
  EXPECT_EQ(BuildAtaPassThrough(DcoIdentifyTaskFile(0), 512, 15), dco);
}

TEST(HiddenAreaQuery, NativeMaximumComesFromTheReturnedAddress) {
  TAtaTaskFile ext;
  ext.Current = {0, 0, 0xAF, 0x6D, 0x38, 0x40, 0x50};  // LBA 7:0, 15:8, 23:16
  ext.Previous = {0, 0, 0x3A, 0x01, 0x00, 0, 0};       // LBA 31:24, 39:32, 47:40
  EXPECT_EQ(NativeMaxAddress(TNativeMaxCommand::ReadNativeMaxExt, ext), 0x01'3A38'6DAFull);
  EXPECT_EQ(NativeMaxAddress(TNativeMaxCommand::GetNativeMaxExt, ext), 0x01'3A38'6DAFull);
  // 28 bits: LBA 27:24 in the device register's low nibble, its high nibble ignored.
  TAtaTaskFile r28;
  r28.Current = {0, 0, 0xFF, 0xFF, 0xFF, 0xEF, 0x50};
  EXPECT_EQ(NativeMaxAddress(TNativeMaxCommand::ReadNativeMax, r28), 0x0FFFFFFFu);
}

TEST(HiddenAreaQuery, DcoReplyIsBelievedOnlyWithItsSignatureAndChecksum) {
  std::vector<uint8_t> b(512, 0);
  b[0] = 2;
  b[6] = 0x2F;  // words 3-6: maximum LBA 3A386D2Fh
  b[7] = 0x6D;
  b[8] = 0x38;
  b[9] = 0x3A;
  b[14] = 0xFF;  // word 7: features that may be changed; counts in the sum only
  b[510] = 0xA5;
  uint8_t sum = 0;
  for (int i = 0; i < 511; ++i) sum = static_cast<uint8_t>(sum + b[i]);
  b[511] = static_cast<uint8_t>(0x100 - sum);
  std::string why;
  EXPECT_EQ(DcoMaximumAddress(b.data(), &why), 0x3A386D2F);

  std::vector<uint8_t> badSum = b;
  badSum[511] ^= 1;
  EXPECT_EQ(DcoMaximumAddress(badSum.data(), &why), -1);
  EXPECT_EQ(why, "DCO 回复的校验和错误");
  std::vector<uint8_t> noSignature = b;
  noSignature[510] = 0;
  noSignature[511] = static_cast<uint8_t>(noSignature[511] + 0xA5);  // sum still 0
  EXPECT_EQ(DcoMaximumAddress(noSignature.data(), &why), -1);
  EXPECT_EQ(why, "DCO 回复的签名不是 A5h");
}

TEST(HiddenAreaQuery, IdentifyWordsWithBit15SetOfferNothing) {
  TAtaBlock id = {};
  auto put = [&](int word, uint16_t v) {
    id[2 * word] = static_cast<uint8_t>(v);
    id[2 * word + 1] = static_cast<uint8_t>(v >> 8);
  };
  put(82, 0x4400);
  put(83, 0x4C00);  // 48-bit and DCO
  put(85, 0x0400);
  put(119, 0x4100);
  put(60, 0xFFFF);
  put(61, 0x0FFF);
  put(100, 0x6D30);
  put(101, 0x3A38);
  THiddenAreaSupport s = HiddenAreaSupport(id);
  EXPECT_TRUE(s.HpaSupported && s.HpaEnabled && s.Lba48 && s.DcoSupported && s.AccessibleMax);
  EXPECT_EQ(s.CurrentSectors, 0x3A386D30);
  EXPECT_EQ(NativeMaxCommandFor(s), TNativeMaxCommand::GetNativeMaxExt);

  put(83, 0xFFFF);  // no answer
  put(119, 0x8100);
  s = HiddenAreaSupport(id);
  EXPECT_FALSE(s.Lba48 || s.DcoSupported || s.AccessibleMax);
  EXPECT_EQ(s.CurrentSectors, 0x0FFFFFFF);
  EXPECT_EQ(NativeMaxCommandFor(s), TNativeMaxCommand::ReadNativeMax);
}

}  // namespace
}  // namespace quarnel
