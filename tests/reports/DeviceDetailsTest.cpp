#include <gtest/gtest.h>

#include "ReportFixture.h"
#include "base/Logging.h"
#include "host/Bytes.h"
#include "host/HostConstants.h"
#include "reports/DeviceDetails.h"

namespace quarnel {
namespace {

using test::OpenReportDrive;
using test::WithoutDateLine;

// The made-up drive of the report's worked example.
std::vector<uint8_t> ExampleIdentify() {
  std::vector<uint8_t> b(512, 0);
  auto text = [&](int word, const std::string& s, size_t width) {
    std::string padded = s;
    padded.resize(width, ' ');
    for (size_t i = 0; i < padded.size(); ++i) b[2 * word + (i ^ 1)] = padded[i];
  };
  text(10, "5XA0TEST", 20);
  text(23, "1.02", 8);
  text(27, "XD500-AB1", 40);
  PutU16(b.data(), 2 * 21, 16384);
  PutU16(b.data(), 2 * 49, 1 << 9);
  PutU32(b.data(), 2 * 60, 0x0FFFFFFF);
  PutU16(b.data(), 2 * 75, 31);
  PutU16(b.data(), 2 * 82, 0x0403);  // SMART, security, HPA
  PutU16(b.data(), 2 * 83, 1 << 10);
  PutU64(b.data(), 2 * 100, 976773168);
  return b;
}

TEST(ShowDeviceDetails, WritesTheWholeReportOfTheWorkedExample) {
  OpenReportDrive(R"("number": 1, "bus_type": 3, "product": "XD500-AB1", "revision": "1.02",
                     "identify_hex": ")" +
                  test::HexText(ExampleIdentify()) + "\"");
  ShowDeviceDetails();
  const std::vector<std::string> expected = {
      " ",
      "Quarnel 4.40; https://www.zelmora.example/",
      "设备详细信息: [1]  XD500-AB1    1.02    [500.1 GB]    (976773168 512-字节扇区)",
      " ",
      "型号: XD500-AB1",
      "固件修订: 1.02",
      "序列号: 5XA0TEST",
      "缓冲大小: 8388.6 KB",
      " ",
      "物理参数:",
      "支持 LBA 模式",
      "支持 LBA-48 模式",
      "LBA 命令可用扇区: 268,435,455",
      "LBA48 命令可用扇区: 976,773,168",
      "设备容量: 500,107,862,016 字节",
      " ",
      "安全:",
      "支持安全功能",
      "设备当前未锁定",
      " ",
      "特征:",
      "支持 SMART",
      "支持 HPA（主机保护区）",
      "不支持 AAM（自动声学管理）",
      "不支持流功能集",
      " ",
      "队列:",
      "设备支持命令队列",
      "最大队列深度32",
      " ",
      "驱动器自身擦除:",
      "驱动器不提供自身擦除命令"};
  // The hidden-area section follows the report's own sections and the
  // drive's own erase.
  const std::vector<std::string> lines = WithoutDateLine(Log_Details.Lines());
  ASSERT_GT(lines.size(), expected.size() + 2);
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + expected.size()), expected);
  EXPECT_EQ(lines[expected.size()], " ");
  EXPECT_EQ(lines[expected.size() + 1], "隐藏区域:");
  EXPECT_EQ(lines[expected.size() + 2], "当前扇区: 976,773,168");
}

std::vector<std::string> Between(const std::vector<std::string>& lines, const std::string& from,
                                 const std::string& to) {
  auto begin = std::find(lines.begin(), lines.end(), from);
  auto end = std::find(begin, lines.end(), to);
  return {begin, end};
}

TEST(DeviceDetailsLines, SecurityLinesFollowTheLockAndItsLevel) {
  T_IDE_PASSPORT p;
  p.securitysupport = true;
  p.lockedmax = true;  // no level is written for an unlocked drive
  EXPECT_EQ(Between(DeviceDetailsLines(p), "安全:", "特征:"),
            (std::vector<std::string>{"安全:", "支持安全功能", "设备当前未锁定", " "}));
  p.locked = true;
  EXPECT_EQ(Between(DeviceDetailsLines(p), "安全:", "特征:"),
            (std::vector<std::string>{"安全:", "支持安全功能", "驱动器当前已锁定", "安全等级: 最大",
                                      "设备需要将用户密码解锁。",
                                      "如果用户密码是未知的，该设备可以与主密码被删除。", " "}));
  p.lockedmax = false;
  EXPECT_EQ(Between(DeviceDetailsLines(p), "安全:", "特征:"),
            (std::vector<std::string>{"安全:", "支持安全功能", "驱动器当前已锁定", "安全等级: 高",
                                      "设备需要用户或主密码来解锁。", " "}));
}

TEST(DeviceDetailsLines, QueueBufferAndCountsEdges) {
  T_IDE_PASSPORT p;
  std::vector<std::string> lines = DeviceDetailsLines(p);
  EXPECT_EQ(std::vector<std::string>(lines.end() - 2, lines.end()),
            (std::vector<std::string>{"队列:", "设备不支持命令队列"}));
  // No buffer line, but the blank after the serial stays.
  EXPECT_EQ(lines[3], " ");
  EXPECT_EQ(lines[4], "物理参数:");
  EXPECT_EQ(lines[9], "设备容量: 0 字节");
  EXPECT_EQ(lines[12], "不支持安全功能");
  EXPECT_EQ(lines[16], "不支持 SMART");
  EXPECT_EQ(lines[17], "不支持 HPA（主机保护区域）");
  p.QueueDepth = 1;
  p.lba28sectors = 9999;
  p.lbasectors = 9999;
  lines = DeviceDetailsLines(p);
  EXPECT_EQ(std::vector<std::string>(lines.end() - 2, lines.end()),
            (std::vector<std::string>{"设备支持命令队列", "最大队列深度2"}));
  EXPECT_EQ(lines[7], "LBA 命令可用扇区: 9999");
  EXPECT_EQ(lines[9], "设备容量: 5,119,488 字节");
}

TEST(DeviceDetailsLines, CapacityStaysExactBeyondTheSigned64BitProduct) {
  EXPECT_EQ(SectorBytesText((int64_t{1} << 54) - 1), "9,223,372,036,854,775,296");
  EXPECT_EQ(SectorBytesText(int64_t{1} << 54), "9,223,372,036,854,775,808");
  EXPECT_EQ(SectorBytesText((int64_t{1} << 54) + 7), "9,223,372,036,854,779,392");
  EXPECT_EQ(SectorBytesText(INT64_MAX), "4,722,366,482,869,645,213,184");
}

TEST(ShowDeviceDetails, NonAtaDriveWithoutIdentifyGetsOneLineAfterOneTry) {
  SimHost& host = OpenReportDrive(R"("bus_type": 7, "product": "USB STICK")");
  ShowDeviceDetails();
  const std::vector<std::string> lines = WithoutDateLine(Log_Details.Lines());
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[4], "此设备无法使用详细信息。");
  // Behind a bridge that passes nothing, hidden areas cannot be told: not "none".
  EXPECT_EQ(lines[6], "隐藏区域:");
  EXPECT_EQ(lines[7], "无法确定: 驱动器不接受 ATA 命令 (IDENTIFY DEVICE 失败)");
  int identifyRoutes = 0;
  for (const TSimAtaCommand& c : host.Drive(0)->AtaCommands) {
    identifyRoutes += c.Request == win::kSMART_GET_VERSION;
  }
  EXPECT_EQ(identifyRoutes, 1);
}

TEST(ShowDeviceDetails, AtaDriveIsAskedTwiceThenTheFailureIsReported) {
  SimHost& host =
      OpenReportDrive(R"("bus_type": 3, "identify_hex": ")" + test::HexText(ExampleIdentify()) +
                      R"(", "faults": {"smart_version": 1, "miniport": 1})");
  ShowDeviceDetails();
  const std::vector<std::string> lines = WithoutDateLine(Log_Details.Lines());
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[4], "详细信息不可用: 内部错误。");
  EXPECT_EQ(lines[5], "在 https://forum.zelmora.example/ 提交这个问题");
  EXPECT_EQ(lines[8], "无法确定: 驱动器不接受 ATA 命令 (IDENTIFY DEVICE 失败)");
  EXPECT_EQ(host.Drive(0)->AtaCommands.size(), 4u);  // two routes, twice
}

}  // namespace
}  // namespace quarnel
