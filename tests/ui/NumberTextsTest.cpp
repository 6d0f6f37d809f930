#include <gtest/gtest.h>

#include <locale>

#include "base/NumberTexts.h"
#include "devices/DeviceTable.h"

namespace quarnel {
namespace {

TEST(IntToStrGrouped, GroupsOnlyFromFiveDigits) {
  EXPECT_EQ(IntToStrGrouped(0), "0");
  EXPECT_EQ(IntToStrGrouped(512), "512");
  EXPECT_EQ(IntToStrGrouped(1000), "1000");
  EXPECT_EQ(IntToStrGrouped(9999), "9999");
  EXPECT_EQ(IntToStrGrouped(10000), "10,000");
  EXPECT_EQ(IntToStrGrouped(12345), "12,345");
  EXPECT_EQ(IntToStrGrouped(123456), "123,456");
  EXPECT_EQ(IntToStrGrouped(976773168), "976,773,168");
  EXPECT_EQ(IntToStrGrouped(3907029168), "3,907,029,168");
  EXPECT_EQ(IntToStrGrouped(INT64_MAX), "9,223,372,036,854,775,807");
}

TEST(SizeToStr, BandEdgesAndCutting) {
  EXPECT_EQ(SizeToStr(0), "0 字节");
  EXPECT_EQ(SizeToStr(512), "512 字节");
  EXPECT_EQ(SizeToStr(-5), "-5 字节");
  EXPECT_EQ(SizeToStr(99998), "99998 字节");
  EXPECT_EQ(SizeToStr(99999), "99.99 KB");
  EXPECT_EQ(SizeToStr(100000), "100 KB");
  EXPECT_EQ(SizeToStr(123456), "123.45 KB");
  EXPECT_EQ(SizeToStr(1474560), "1474.56 KB");
  EXPECT_EQ(SizeToStr(1999999), "1999.99 KB");
  EXPECT_EQ(SizeToStr(9999998), "9999.99 KB");
  EXPECT_EQ(SizeToStr(9999999), "9.99 MB");
  EXPECT_EQ(SizeToStr(8004304896), "8004.3 MB");
  EXPECT_EQ(SizeToStr(9999999998), "9999.99 MB");
  EXPECT_EQ(SizeToStr(9999999999), "9.99 GB");
  EXPECT_EQ(SizeToStr(80026361856), "80.02 GB");
  EXPECT_EQ(SizeToStr(500107862016), "500.1 GB");
  EXPECT_EQ(SizeToStr(2000398934016), "2000.39 GB");
  EXPECT_EQ(SizeToStr(1000000000000), "1000 GB");
}

struct CommaDecimal : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
};

TEST(SizeToStr, FollowsTheLocaleDecimalSeparator) {
  const std::locale previous =
      std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
  const std::string kb = SizeToStr(123456);
  const std::string gb = SizeToStr(500107862016);
  const std::string bytes = SizeToStr(512);
  std::locale::global(previous);
  EXPECT_EQ(kb, "123,45 KB");
  EXPECT_EQ(gb, "500,1 GB");
  EXPECT_EQ(bytes, "512 字节");
}

TEST(GetDeviceDescription, KeepsTheSpacingAndPlainNumbers) {
  TDeviceTableArray table;
  table[1].DeviceNumber = 1;
  table[1].IdentifyData.Model = "  XD500-AB1 ";
  table[1].IdentifyData.FW = "1.02";
  table[1].IdentifyData.LBA = 976773168;
  table[1].IdentifyData.SectorSize = 512;
  EXPECT_EQ(GetDeviceDescription(table, 1),
            "[1]  XD500-AB1    1.02    [500.1 GB]    (976773168 512-字节扇区)");

  table[2].DeviceNumber = 3;
  EXPECT_EQ(GetDeviceDescription(table, 2), "[3]          [0 字节]    (0 0-字节扇区)");

  table[3].DeviceNumber = 4294967295u;
  table[3].IdentifyData.LBA = 1000;
  EXPECT_EQ(GetDeviceDescription(table, 3), "[4294967295]          [0 字节]    (1000 0-字节扇区)");

  EXPECT_THROW(GetDeviceDescription(table, 17), std::out_of_range);
}

}  // namespace
}  // namespace quarnel
