#include <gtest/gtest.h>

#include <cstring>

#include "ReportFixture.h"
#include "base/Logging.h"
#include "base/Text.h"
#include "host/HostConstants.h"
#include "reports/SmartReport.h"
#include "support/TestSupport.h"

namespace quarnel {
namespace {

using test::OpenReportDrive;
using test::WithoutDateLine;

struct TPage {
  TAtaBlock b = {};
  TPage& Entry(int k, uint8_t id, uint8_t current, uint8_t worst,
               std::initializer_list<uint8_t> raw) {
    uint8_t* e = b + 2 + 12 * k;
    e[0] = id;
    e[1] = 0x33;  // flags, not shown
    e[3] = current;
    e[4] = worst;
    int i = 5;
    for (uint8_t r : raw) e[i++] = r;
    e[11] = 0x77;  // reserved, not shown
    return *this;
  }
  std::vector<std::string> Rows() const {
    std::vector<std::string> lines = SmartTableLines(b);
    return {lines.begin() + 2, lines.end() - 1};
  }
};

TEST(SmartTableLines, RowsOfTheWorkedExample) {
  TPage page;
  page.Entry(0, 5, 100, 100, {0})
      .Entry(1, 9, 98, 98, {0xD2, 0x04})
      .Entry(2, 194, 42, 55, {0x2A, 0, 0, 0, 0x14, 0})
      .Entry(3, 250, 100, 100, {7});
  const std::vector<std::string> lines = SmartTableLines(page.b);
  const std::vector<std::string> expected = {
      "          属性                      当前   最差          原始       注意",
      std::string(88, '-'),
      " 5    05  重新配置的扇区数        100      100                 0",
      " 9    09  开机时间                     98       98              1234",
      " 194  C2  HDA 温度                   42       55       85899345962  (42 度) ",
      " 250  FA  未知                          100      100                 7",
      " "};
  EXPECT_EQ(lines, expected);
}

TEST(SmartTableLines, ThirtySlotsAtMostAndTheFirstEmptyIdEndsTheTable) {
  TPage full;
  for (int k = 0; k < 30; ++k) full.Entry(k, static_cast<uint8_t>(k + 1), 1, 1, {});
  full.b[2 + 12 * 30] = 0x40;  // beyond the table: never read
  EXPECT_EQ(full.Rows().size(), 30u);
  TPage gap;
  gap.Entry(0, 1, 1, 1, {}).Entry(1, 3, 1, 1, {}).Entry(3, 5, 1, 1, {});
  EXPECT_EQ(gap.Rows().size(), 2u);
  const std::vector<std::string> none = SmartTableLines(TPage().b);
  EXPECT_EQ(none.size(), 3u);
  EXPECT_EQ(none.back(), " ");
}

TEST(SmartAttributeRow, RawUsesAllSixBytesAndOnly194GetsTheNote) {
  TPage page;
  page.Entry(0, 190, 60, 40, {0x01, 0, 0, 0, 0, 0x01})
      .Entry(1, 194, 60, 40, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
  const std::vector<std::string> rows = page.Rows();
  EXPECT_EQ(rows[0], " 190  BE  气流温度               60       40     1099511627777");
  EXPECT_EQ(rows[1],
            " 194  C2  HDA 温度                   60       40   281474976710655  (255 度) ");
}

TEST(GetSmartAttributeName, NamesCarryTheirLayoutSpacesUnknownIsTwentyOneCharacters) {
  EXPECT_EQ(GetSmartAttributeName(1), "读取错误率           ");
  EXPECT_EQ(GetSmartAttributeName(200), "前置放大器写入错误率");
  EXPECT_EQ(GetSmartAttributeName(192), GetSmartAttributeName(228));
  EXPECT_EQ(GetSmartAttributeName(222), GetSmartAttributeName(226));
  int named = 0;
  for (int id = 0; id <= 256; ++id) {
    const std::string name = GetSmartAttributeName(id);
    if (name.rfind("未知", 0) == 0) {
      EXPECT_EQ(Utf8Length(name), 21u);
    } else {
      ++named;
    }
  }
  EXPECT_EQ(named, 54);
  EXPECT_EQ(PadRight("7", 3), "7  ");
  EXPECT_EQ(PadRight("1234", 3), "1234");
  EXPECT_EQ(PadLeft("42", 5), "   42");
  EXPECT_EQ(PadLeft("温度", 3), " 温度");  // characters, not bytes
}

// Features of the drive's SMART commands in the order sent.
std::vector<uint8_t> SmartFeatures(SimHost& host) {
  std::vector<uint8_t> features;
  for (const TSimAtaCommand& c : host.Drive(0)->AtaCommands) {
    if (c.Command == win::kATA_SMART) features.push_back(c.Features);
  }
  return features;
}

std::string CapturedDrive(const std::string& more) {
  const std::string dir = "drives/WDC_WD5000AAKS--00TMA0-12.01C01";
  return R"("bus_type": 3, "identify_file": ")" + dir + R"(/identify.bin", "smart_file": ")" + dir +
         R"(/smart.bin")" + more;
}

TEST(ShowSmartData, LeavesAnEnabledDriveEnabled) {
  SimHost& host = OpenReportDrive(CapturedDrive(""));
  ASSERT_TRUE(host.Drive(0)->SmartEnabled);
  ShowSmartData();
  EXPECT_EQ(SmartFeatures(host), (std::vector<uint8_t>{0xD8, 0xD0}));
  EXPECT_EQ(host.Drive(0)->AtaCommands.front().Request, win::kSMART_GET_VERSION);
  EXPECT_TRUE(host.Drive(0)->SmartEnabled);
  const std::vector<std::string> lines = WithoutDateLine(Log_Smart.Lines());
  EXPECT_EQ(lines[2].rfind("SMART 数据: [0]  ", 0), 0u);
  EXPECT_EQ(lines.size(), 4u + 2u + 17u + 1u);
}

TEST(ShowSmartData, SwitchesADisabledDriveOffAgainAfterTheRead) {
  SimHost& host = OpenReportDrive(CapturedDrive(R"(, "smart_enabled": false)"));
  ShowSmartData();
  EXPECT_EQ(SmartFeatures(host), (std::vector<uint8_t>{0xD8, 0xD0, 0xD9}));
  EXPECT_FALSE(host.Drive(0)->SmartEnabled);
  EXPECT_EQ(Log_Smart.Lines().size(), 5u + 2u + 17u + 1u);
}

TEST(ShowSmartData, DisablesWhenTheStateCouldNotBeRead) {
  SimHost& host =
      OpenReportDrive(CapturedDrive(R"(, "faults": {"smart_version": 1, "miniport": 1})"));
  ShowSmartData();
  EXPECT_EQ(SmartFeatures(host), (std::vector<uint8_t>{0xD8, 0xD0, 0xD9}));
  EXPECT_FALSE(host.Drive(0)->SmartEnabled);
}

TEST(ShowSmartData, RefusedEnableSkipsTheReadAndGivesTheOneFailureLine) {
  SimHost& host = OpenReportDrive(CapturedDrive(R"(, "faults": {"smart_send": 1})"));
  ShowSmartData();
  EXPECT_EQ(SmartFeatures(host), (std::vector<uint8_t>{0xD8}));  // refused, then nothing
  const std::vector<std::string> lines = WithoutDateLine(Log_Smart.Lines());
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[4], "此设备不支持 SMART。");
}

TEST(ShowSmartData, OtherBusesOnlyReadAndTwoPressesGiveTwoReports) {
  SimHost& host = OpenReportDrive(R"("bus_type": 11, "identify_file":
      "drives/ST320410A--3.39/identify.bin", "smart_file": "drives/ST320410A--3.39/smart.bin")");
  ShowSmartData();
  ShowSmartData();
  EXPECT_EQ(SmartFeatures(host), (std::vector<uint8_t>{0xD0, 0xD0}));
  const std::vector<std::string>& lines = Log_Smart.Lines();
  const size_t one = 5 + 2 + 15 + 1;
  ASSERT_EQ(lines.size(), 2 * one);
  EXPECT_EQ(lines[1].rfind("当前日期和时间: ", 0), 0u);
  EXPECT_EQ(lines[one + 1].rfind("当前日期和时间: ", 0), 0u);
}

}  // namespace
}  // namespace quarnel
