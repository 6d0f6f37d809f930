#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ata/IdentifyDecode.h"
#include "host/Bytes.h"
#include "support/TestSupport.h"

namespace quarnel {
namespace {

struct TBlock {
  uint8_t b[kIdentifyBlockSize] = {};
  TBlock& W(int n, uint16_t v) {
    PutU16(b, 2 * n, v);
    return *this;
  }
  TBlock& W64(int n, uint64_t v) {
    PutU64(b, 2 * n, v);
    return *this;
  }
  // An ATA text: the first character of each pair in the high byte.
  TBlock& Text(int firstWord, const std::string& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) b[2 * firstWord + (i ^ 1)] = bytes[i];
    return *this;
  }
  T_IDE_PASSPORT Decode() const { return DecodeIdentifyData(b); }
};

TEST(DecodeIdentifyData, ZeroBlockGivesTheFreshRecordWith512ByteSectors) {
  const T_IDE_PASSPORT p = TBlock().Decode();
  EXPECT_EQ(p.name, "");
  EXPECT_EQ(p.fw, "");
  EXPECT_EQ(p.sn, "");
  EXPECT_FALSE(p.lba28support || p.lba48support || p.securitysupport || p.locked || p.lockedmax ||
               p.hpasupport || p.smartsupport || p.smartenabled || p.aamsupport || p.dmasupport ||
               p.isremovable || p.ispacket || p.QueueSupported || p.StreamingSupported);
  EXPECT_EQ(p.lba28sectors + p.lba48sectors + p.lbasectors + p.QueueDepth, 0);
  EXPECT_EQ(p.buffersize, 0u);
  EXPECT_EQ(p.sectorsize, 512);
}

TEST(DecodeIdentifyData, TextsAreByteSwappedTrimmedAtTheEndsOnly) {
  std::string serial = std::string("\0\0", 2) + "AB" + std::string("\0", 1) + "C  D";
  serial.resize(20, ' ');
  TBlock block;
  block.Text(10, serial).Text(23, "1.02    ").Text(27, "  WDC WD5000AAKS-00V1A0      ");
  const T_IDE_PASSPORT p = block.Decode();
  // Leading zero bytes go like blanks; the inner U+0000 (shown as an escape)
  // and double space stay.
  EXPECT_EQ(p.sn, "AB\\x00C  D");
  EXPECT_EQ(p.fw, "1.02");
  EXPECT_EQ(p.name, "WDC WD5000AAKS-00V1A0");
  // Word 27 = 5744h reads as "WD".
  EXPECT_EQ(TBlock().W(27, 0x5744).Decode().name, "WD");
}

TEST(DecodeIdentifyData, BytesAbove7FhBecomeLatin1Characters) {
  TBlock block;
  block.Text(27, "M\xE9ga\xFF");
  EXPECT_EQ(block.Decode().name, "M\xC3\xA9ga\xC3\xBF");
  // A byte that Latin-1 maps to a no-break space (A0h) is not trimmed.
  EXPECT_EQ(TBlock().Text(23, "\xA0X").Decode().fw, "\xC2\xA0X");
}

TEST(DecodeIdentifyData, The48BitCountCountsOnlyWithLbaAndAboveThe28BitCount) {
  const uint16_t lba = 1 << 9, ext = 1 << 10;
  // No LBA at all: nothing is taken, even with a 48-bit count.
  T_IDE_PASSPORT p = TBlock().W(83, ext).W64(100, 976773168).W(60, 5).Decode();
  EXPECT_FALSE(p.lba28support);
  EXPECT_EQ(p.lba28sectors, 0);
  EXPECT_EQ(p.lbasectors, 0);
  EXPECT_FALSE(p.lba48support);
  // A drive below the 28-bit limit repeats its count in words 100-103.
  p = TBlock().W(49, lba).W(83, ext).W(60, 0x4D88).W(61, 0x09DC).W64(100, 0x09DC4D88).Decode();
  EXPECT_FALSE(p.lba48support);
  EXPECT_EQ(p.lba48sectors, 0);
  EXPECT_EQ(p.lbasectors, 0x09DC4D88);
  p = TBlock().W(49, lba).W(83, ext).W(60, 0xFFFF).W(61, 0x0FFF).W64(100, 976773168).Decode();
  EXPECT_TRUE(p.lba48support);
  EXPECT_EQ(p.lba28sectors, 268435455);
  EXPECT_EQ(p.lbasectors, 976773168);
  // Without word 83 bit 10 the 48-bit count is ignored.
  p = TBlock().W(49, lba).W(60, 0xFFFF).W(61, 0x0FFF).W64(100, 976773168).Decode();
  EXPECT_FALSE(p.lba48support);
  EXPECT_EQ(p.lbasectors, 268435455);
  // Bit 63 makes the count negative: never taken.
  p = TBlock().W(49, lba).W(83, ext).W(60, 1).W64(100, 0x8000000000000005ull).Decode();
  EXPECT_FALSE(p.lba48support);
  EXPECT_EQ(p.lbasectors, 1);
  // The 28-bit words are unsigned: FFFFFFFFh stays positive.
  EXPECT_EQ(TBlock().W(49, lba).W(60, 0xFFFF).W(61, 0xFFFF).Decode().lba28sectors, 4294967295);
}

TEST(DecodeIdentifyData, UltraDmaModesNeedDmaAndAValidWord88) {
  const uint16_t dma = 1 << 8;
  EXPECT_FALSE(TBlock().W(49, dma).W(88, 0x203F).Decode().dmasupport);
  EXPECT_EQ(TBlock().W(49, dma).W(88, 0x203F).Decode().dmamodesupport, 0);
  EXPECT_EQ(TBlock().W(53, 4).W(88, 0x407F).Decode().dmamodeselected, 0);
  T_IDE_PASSPORT p = TBlock().W(49, dma).W(53, 4).W(88, 0x203F).Decode();
  EXPECT_TRUE(p.dmasupport);
  EXPECT_EQ(p.dmamodesupport, 5);
  EXPECT_EQ(p.dmamodeselected, 5);
  p = TBlock().W(49, dma).W(53, 4).W(88, 0x407F).Decode();
  EXPECT_EQ(p.dmamodesupport, 6);
  EXPECT_EQ(p.dmamodeselected, 6);
  // Bit 8 alone is mode 0; bit 15 is outside the selected field.
  p = TBlock().W(49, dma).W(53, 4).W(88, 0x8101).Decode();
  EXPECT_EQ(p.dmamodesupport, 0);
  EXPECT_EQ(p.dmamodeselected, 0);
}

TEST(DecodeIdentifyData, SecurityStateNeedsTheSecurityFeature) {
  T_IDE_PASSPORT p = TBlock().W(82, 0x0002).W(128, 0x0004).Decode();
  EXPECT_TRUE(p.securitysupport);
  EXPECT_FALSE(p.locked);  // bit 2 (locked) is not what the field means
  p = TBlock().W(82, 0x0002).W(128, 0x0102).Decode();
  EXPECT_TRUE(p.locked);
  EXPECT_TRUE(p.lockedmax);
  p = TBlock().W(82, 0x0001).W(128, 0x0102).Decode();
  EXPECT_FALSE(p.securitysupport || p.locked || p.lockedmax);
}

TEST(DecodeIdentifyData, FeatureWordsAndCounts) {
  T_IDE_PASSPORT p = TBlock().W(85, 1).Decode();
  EXPECT_FALSE(p.smartenabled);  // enabled counts only where supported
  p = TBlock().W(82, 0x0401).W(85, 1).W(83, 0x0200).W(84, 0x0010).W(47, 0x8010).Decode();
  EXPECT_TRUE(p.smartsupport && p.smartenabled && p.hpasupport && p.aamsupport);
  EXPECT_TRUE(p.StreamingSupported);
  EXPECT_EQ(p.readmultiplesectors, 0x10);
  EXPECT_EQ(TBlock().W(21, 0xFFFF).Decode().buffersize, 33553920u);
  p = TBlock().W(75, 0x001F).Decode();
  EXPECT_TRUE(p.QueueSupported);
  EXPECT_EQ(p.QueueDepth, 31);
  EXPECT_EQ(TBlock().W(75, 0xFFFF).Decode().QueueDepth, 65535);  // unmasked
}

// Words 108-111 count only where word 87 is valid and says so, with NAA 5.
// The real drives' values agree with hdparm --Istdin.
TEST(DecodeIdentifyData, WorldWideName) {
  const auto wwn = [](uint16_t w87, uint16_t w108) {
    return TBlock()
        .W(87, w87)
        .W(108, w108)
        .W(109, 0x14ee)
        .W(110, 0x2002)
        .W(111, 0xa560)
        .Decode()
        .wwn;
  };
  EXPECT_EQ(wwn(0x4100, 0x5001), "500114ee2002a560");
  EXPECT_EQ(wwn(0x4000, 0x5001), "");  // not reported (bit 8 clear)
  EXPECT_EQ(wwn(0xC100, 0x5001), "");  // word 87 not valid
  EXPECT_EQ(wwn(0x4100, 0x6001), "");  // NAA other than 5
  const std::pair<const char*, const char*> real[] = {
      {"WDC_WD5000AAKS--00TMA0-12.01C01", "50014ee2002a560a"},
      {"INTEL_SSDSA2MH080G1GC--045C8820", "5001517387d61905"},
      {"SAMSUNG_MP0804H--UE100-14", ""},  // words 108-111 hold 5 but word 87 says no WWN
      {"Maxtor_96147H8--BAC51KJ0", ""}};
  for (const auto& [folder, expected] : real) {
    const std::vector<uint8_t> bytes =
        test::ReadBytes(test::DriveDataDir(folder) + "/identify.bin");
    ASSERT_EQ(bytes.size(), kIdentifyBlockSize) << folder;
    uint8_t block[kIdentifyBlockSize];
    std::memcpy(block, bytes.data(), sizeof block);
    EXPECT_EQ(IdentifyWwn(block), expected) << folder;
  }
}

}  // namespace
}  // namespace quarnel
