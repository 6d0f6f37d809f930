// The NVMe decoders and report lines on crafted blocks.
#include <gtest/gtest.h>

#include <cstring>

#include "nvme/NvmeDecode.h"
#include "reports/NvmeReports.h"

namespace quarnel {
namespace {

void Put(uint8_t* b, size_t off, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b[off + i] = static_cast<uint8_t>(v >> (8 * i));
}

TEST(NvmeDecode, Counters128AreExactInDecimal) {
  EXPECT_EQ(DecText128({0, 0}), "0");
  EXPECT_EQ(DecText128({0, 1}), "18446744073709551616");
  EXPECT_EQ(DecText128({1000000000, 0}), "1000000000");  // a zero chunk inside
  EXPECT_EQ(DecText128({~0ull, ~0ull}), "340282366920938463463374607431768211455");
  EXPECT_EQ(GroupedText128({1234, 0}), "1234");
  EXPECT_EQ(GroupedText128({12345, 0}), "12,345");
  EXPECT_EQ(GroupedText128({0, 1}), "18,446,744,073,709,551,616");
  TUInt128 v{5, 1};  // 2^64 + 5
  EXPECT_EQ(DivMod128(v, 10), 1u);
  EXPECT_EQ(DecText128(v), "1844674407370955162");
}

TEST(NvmeDecode, ControllerFields) {
  TNvmeIdentifyBlock b = {};
  Put(b, 0, 0x1B36, 2);
  std::memcpy(b + 4, "SER123              ", 20);
  std::memcpy(b + 24, "QEMU NVMe Ctrl", 14);  // zero padding ends the text too
  std::memcpy(b + 64, "8.0.0   ", 8);
  Put(b, 80, 0x00010400, 4);
  Put(b, 256, 0x0012, 2);  // Format NVM, self-test
  b[260] = 0x07;           // 3 slots, slot 1 read-only
  Put(b, 328, 0x5, 4);     // crypto erase, overwrite
  Put(b, 516, 256, 4);
  b[525] = 0x07;
  const TNvmeController c = DecodeNvmeController(b);
  EXPECT_EQ(c.PciVendorId, 0x1B36);
  EXPECT_EQ(c.Serial, "SER123");
  EXPECT_EQ(c.Model, "QEMU NVMe Ctrl");
  EXPECT_EQ(c.Firmware, "8.0.0");
  EXPECT_EQ(NvmeVersionText(c.Version), "1.4");
  EXPECT_EQ(NvmeVersionText(0x00010201), "1.2.1");
  EXPECT_EQ(NvmeVersionText(0), "");
  EXPECT_EQ(c.NamespaceCount, 256u);
  EXPECT_TRUE(c.FormatNvm() && c.SelfTest() && c.WriteCachePresent() && c.FirstSlotReadOnly());
  EXPECT_EQ(c.FirmwareSlots(), 3);
  EXPECT_TRUE(c.CryptoErase() && c.Overwrite());
  EXPECT_FALSE(c.BlockErase());

  const std::vector<std::string> lines = NvmeDetailsLines(c, std::nullopt);
  EXPECT_EQ(lines[0], "型号: QEMU NVMe Ctrl");
  EXPECT_EQ(lines[5], "NVMe 版本: 1.4");
  EXPECT_EQ(lines[6], "PCI 厂商 ID: 0x1B36");
  EXPECT_EQ(lines[7], "命名空间数: 256");
  EXPECT_EQ(lines[9], "特征:");  // no namespace section without its Identify
  EXPECT_EQ(lines[12], "支持 Sanitize（加密擦除、覆写）");
  EXPECT_EQ(lines.back(), "固件插槽: 3（插槽 1 只读）");
}

TEST(NvmeDecode, NamespaceFormatInUse) {
  TNvmeIdentifyBlock b = {};
  Put(b, 0, 0x1D1C0BEB0ull, 8);  // 7,814,037,168 blocks
  b[25] = 17;                    // 18 formats
  b[26] = 0x21;                  // index 0x11 through the high bits
  Put(b, 128 + 4 * 17, 0x000C0008, 4);
  TNvmeNamespace n = DecodeNvmeNamespace(b);
  EXPECT_EQ(n.FormatIndex, 17);
  EXPECT_EQ(n.BlockSize, 4096u);
  EXPECT_EQ(n.MetadataSize, 8);
  const std::vector<std::string> lines = NvmeDetailsLines(TNvmeController{}, n);
  EXPECT_EQ(lines[5], "NVMe 版本: 未报告");
  EXPECT_EQ(lines[10], "逻辑块大小: 4096 字节");
  EXPECT_EQ(lines[11], "大小: 7,814,037,168 块");
  EXPECT_EQ(lines[12], "容量: 32,006,296,240,128 字节");

  b[26] = 0x05;  // past NLBAF after shrinking it: no block size
  b[25] = 2;
  n = DecodeNvmeNamespace(b);
  EXPECT_EQ(n.BlockSize, 0u);
  EXPECT_EQ(n.Eui64, "");  // all zero: none
  EXPECT_EQ(n.Nguid, "");
  b[104] = 0xAB;
  b[119] = 0x01;
  b[127] = 0x7F;
  n = DecodeNvmeNamespace(b);
  EXPECT_EQ(n.Nguid, "ab000000000000000000000000000001");
  EXPECT_EQ(n.Eui64, "000000000000007f");
}

TEST(NvmeDecode, HealthLinesWarningsSensorsAndLargeCounters) {
  TNvmeHealthBlock b = {};
  b[0] = 0x3F;
  Put(b, 1, 0, 2);  // composite temperature absent
  b[3] = 100;
  b[4] = 10;
  b[5] = 255;
  Put(b, 32, 0, 8);
  Put(b, 40, 1, 8);  // data units read: 2^64
  Put(b, 48, 2000, 8);
  Put(b, 128, 12345, 8);
  Put(b, 192, 70000, 4);
  Put(b, 200 + 2 * 2, 300, 2);  // sensor 3 only
  const TNvmeHealth h = DecodeNvmeHealth(b);
  EXPECT_EQ(h.DataUnitsRead, (TUInt128{0, 1}));
  const std::vector<std::string> lines = NvmeHealthLines(h);
  const std::vector<std::string> head = {"严重警告:             0x3F",
                                         "可用备用空间低于阈值",
                                         "温度超出阈值",
                                         "可靠性下降",
                                         "介质已处于只读模式",
                                         "易失性存储器备份失败",
                                         "持久内存区域只读",
                                         "可用备用空间:         100%"};
  ASSERT_GE(lines.size(), head.size());
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 8), head);
  auto find = [&lines](const std::string& prefix) {
    for (const std::string& l : lines) {
      if (l.rfind(prefix, 0) == 0) return l;
    }
    return std::string("(missing)");
  };
  EXPECT_EQ(find("温度:"), "(missing)");
  EXPECT_EQ(find("已用寿命"), "已用寿命:             255%");
  EXPECT_EQ(find("读取数据单元"),
            "读取数据单元:         18,446,744,073,709,551,616 [9444732965739290.42 GB]");
  EXPECT_EQ(find("写入数据单元"), "写入数据单元:         2000 [1024 MB]");
  EXPECT_EQ(find("通电时间"), "通电时间:             12,345 小时");
  EXPECT_EQ(find("介质和数据完整性错误"), "介质和数据完整性错误: 0");
  EXPECT_EQ(find("警告温度时间"), "警告温度时间:         70,000 分钟");
  EXPECT_EQ(find("温度传感器"), "温度传感器 3:         27 度");
  EXPECT_EQ(lines.back(), " ");
}

TEST(NvmeDecode, DataUnitsSizeAcrossTheSixtyFourBitEdge) {
  EXPECT_EQ(DataUnitsSizeText({0, 0}), "0 字节");
  EXPECT_EQ(DataUnitsSizeText({1953125, 0}), "1000 GB");
  // 2^63 bytes is the first value SizeToStr cannot take.
  EXPECT_EQ(DataUnitsSizeText({18014398509481, 0}), "9223372036.85 GB");
  EXPECT_EQ(DataUnitsSizeText({18014398509482, 0}), "9223372036.85 GB");
  EXPECT_EQ(DataUnitsSizeText({~0ull, ~0ull}), "174224571863520493293247799005065324.26 GB");
}

}  // namespace
}  // namespace quarnel
