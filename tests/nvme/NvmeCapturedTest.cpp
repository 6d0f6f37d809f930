// The decoders and report lines on the blocks captured from QEMU's NVMe
// controller, against nvme-cli's and smartctl's decoding made in the same
// machine (tests/data/nvme/README.md).
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>

#include "base/Text.h"
#include "nvme/NvmeDecode.h"
#include "reports/NvmeReports.h"
#include "support/TestSupport.h"

namespace quarnel {
namespace {

std::string DataPath(const std::string& file) {
  return std::string(QUARNEL_TEST_DATA) + "/nvme/QEMU_NVMe_Ctrl/" + file;
}

template <size_t N>
void Load(const std::string& file, uint8_t (&block)[N]) {
  const std::vector<uint8_t> bytes = test::ReadBytes(DataPath(file));
  ASSERT_EQ(bytes.size(), N) << file;
  std::memcpy(block, bytes.data(), N);
}

// "name : value" lines of nvme-cli and smartctl, the name trimmed.
std::map<std::string, std::string> Fields(const std::string& file) {
  std::map<std::string, std::string> fields;
  std::ifstream in(DataPath(file));
  std::string line;
  while (std::getline(in, line)) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    auto trim = [](std::string s) {
      s.erase(0, s.find_first_not_of(" \t"));
      s.erase(s.find_last_not_of(" \t") + 1);
      return s;
    };
    fields.emplace(trim(line.substr(0, colon)), trim(line.substr(colon + 1)));
  }
  return fields;
}

uint64_t Number(const std::string& text) { return std::stoull(text, nullptr, 0); }

TEST(NvmeCaptured, IdentifyAgreesWithNvmeCliAndSmartctl) {
  TNvmeIdentifyBlock ctrl, ns;
  Load("id-ctrl.bin", ctrl);
  Load("id-ns.bin", ns);
  const TNvmeController c = DecodeNvmeController(ctrl);
  auto cli = Fields("nvme-id-ctrl.txt");
  auto smartctl = Fields("smartctl.txt");
  EXPECT_EQ(c.Model, smartctl["Model Number"]);
  EXPECT_EQ(c.Serial, smartctl["Serial Number"]);
  EXPECT_EQ(c.Firmware, smartctl["Firmware Version"]);
  EXPECT_EQ(NvmeVersionText(c.Version), smartctl["NVMe Version"]);
  EXPECT_EQ(c.PciVendorId, Number(smartctl["PCI Vendor ID"]));
  EXPECT_EQ(c.NamespaceCount, Number(smartctl["Number of Namespaces"]));
  EXPECT_EQ(c.AdminCommands, Number(cli["oacs"]));
  EXPECT_EQ(c.FirmwareUpdates, Number(cli["frmw"]));
  EXPECT_EQ(c.VolatileWriteCache, Number(cli["vwc"]));
  EXPECT_EQ(c.SanitizeCaps, Number(cli["sanicap"]));

  const TNvmeNamespace n = DecodeNvmeNamespace(ns);
  auto nsCli = Fields("nvme-id-ns.txt");
  EXPECT_EQ(n.SizeBlocks, Number(nsCli["nsze"]));
  EXPECT_EQ(n.FormatIndex, Number(nsCli["flbas"]) & 0x0F);
  EXPECT_NE(nsCli["lbaf  0"].find("lbads:9"), std::string::npos);  // the format in use
  EXPECT_EQ(n.BlockSize, 512u);

  const std::vector<std::string> expected = {"型号: QEMU NVMe Ctrl",
                                             "固件修订: 7.2.22",
                                             "序列号: QUARNEL0001",
                                             " ",
                                             "控制器:",
                                             "NVMe 版本: 1.4",
                                             "PCI 厂商 ID: 0x1B36",
                                             "命名空间数: 256",
                                             " ",
                                             "命名空间:",
                                             "逻辑块大小: 512 字节",
                                             "大小: 524,288 块",
                                             "容量: 268,435,456 字节",
                                             " ",
                                             "特征:",
                                             "支持易失性写缓存",
                                             "支持 Format NVM",
                                             "不支持 Sanitize",
                                             "不支持设备自检",
                                             "固件插槽: 1（插槽 1 只读）"};
  EXPECT_EQ(NvmeDetailsLines(c, n), expected);
}

TEST(NvmeCaptured, HealthAgreesWithNvmeCliAndSmartctl) {
  TNvmeHealthBlock block;
  Load("smart-log.bin", block);
  const TNvmeHealth h = DecodeNvmeHealth(block);
  auto cli = Fields("nvme-smart-log.txt");
  auto smartctl = Fields("smartctl.txt");
  EXPECT_EQ(h.CriticalWarning, Number(cli["critical_warning"]));
  EXPECT_EQ(DecTextU(h.Temperature - 273u) + " Celsius", smartctl["Temperature"]);
  EXPECT_EQ(DecTextU(h.AvailableSpare) + "%", cli["available_spare"]);
  EXPECT_EQ(DecTextU(h.PercentageUsed) + "%", cli["percentage_used"]);
  const std::pair<const TUInt128*, const char*> counters[] = {
      {&h.HostReadCommands, "host_read_commands"},
      {&h.HostWriteCommands, "host_write_commands"},
      {&h.ControllerBusyTime, "controller_busy_time"},
      {&h.PowerCycles, "power_cycles"},
      {&h.PowerOnHours, "power_on_hours"},
      {&h.UnsafeShutdowns, "unsafe_shutdowns"},
      {&h.MediaErrors, "media_errors"},
      {&h.ErrorLogEntries, "num_err_log_entries"}};
  for (const auto& [value, name] : counters) EXPECT_EQ(DecText128(*value), cli[name]) << name;
  EXPECT_EQ(DecText128(h.DataUnitsRead) + " (100.86 MB)", cli["Data Units Read"]);
  EXPECT_EQ(DecText128(h.DataUnitsWritten) + " (50.69 MB)", cli["Data Units Written"]);
  EXPECT_EQ(DecTextU(h.WarningTempMinutes), cli["Warning Temperature Time"]);
  EXPECT_EQ(DecTextU(h.CriticalTempMinutes), cli["Critical Composite Temperature Time"]);

  const std::vector<std::string> expected = {
      "严重警告:             0x00",
      "温度:                 50 度",
      "可用备用空间:         0%",
      "可用备用空间阈值:     0%",
      "已用寿命:             0%",
      "读取数据单元:         197 [100.86 MB]",
      "写入数据单元:         99 [50.68 MB]",  // cut as SizeToStr cuts, where nvme-cli rounds
      "主机读命令:           196",
      "主机写命令:           96",
      "控制器忙碌时间:       0 分钟",
      "电源循环:             0",
      "通电时间:             0 小时",
      "不安全关机:           0",
      "介质和数据完整性错误: 0",
      "错误日志条目:         0",
      "警告温度时间:         0 分钟",
      "严重温度时间:         0 分钟",
      " "};
  EXPECT_EQ(NvmeHealthLines(h), expected);
}

}  // namespace
}  // namespace quarnel
