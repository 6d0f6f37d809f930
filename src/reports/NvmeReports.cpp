#include "reports/NvmeReports.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <utility>

#include "base/NumberTexts.h"
#include "base/Text.h"
#include "nvme/NvmeCommands.h"

namespace quarnel {

namespace {

constexpr uint32_t kDataUnitBytes = 512000;
constexpr int kKelvinOffset = 273;

std::string Hex2Prefixed(uint8_t v) { return "0x" + Hex2(v); }

std::string Hex4Prefixed(uint16_t v) {
  return "0x" + Hex2(static_cast<uint8_t>(v >> 8)) + Hex2(static_cast<uint8_t>(v));
}

std::string Supported(bool yes, const std::string& feature) {
  return (yes ? "支持" : "不支持") + feature;
}

std::string SanitizeLine(const TNvmeController& c) {
  std::vector<std::string> kinds;
  if (c.CryptoErase()) kinds.push_back("加密擦除");
  if (c.BlockErase()) kinds.push_back("块擦除");
  if (c.Overwrite()) kinds.push_back("覆写");
  if (kinds.empty()) return "不支持 Sanitize";
  std::string line = "支持 Sanitize（";
  for (size_t i = 0; i < kinds.size(); ++i) line += (i ? "、" : "") + kinds[i];
  return line + "）";
}

}  // namespace

std::string DataUnitsSizeText(const TUInt128& units) {
  if (units.High == 0 && units.Low <= static_cast<uint64_t>(INT64_MAX) / kDataUnitBytes) {
    return SizeToStr(static_cast<int64_t>(units.Low * kDataUnitBytes));
  }
  // Past 2^63 bytes: hundredths of a GB are units × 512 / 10^4 = units × 32 / 625,
  // cut as SizeToStr cuts them.
  TUInt128 q = units;
  const uint32_t r = DivMod128(q, 625);
  TUInt128 hundredths = {q.Low << 5, (q.High << 5) | (q.Low >> 59)};
  const uint64_t add = static_cast<uint64_t>(r) * 32 / 625;
  hundredths.Low += add;
  if (hundredths.Low < add) ++hundredths.High;
  const uint32_t fraction = DivMod128(hundredths, 100);
  std::string text = DecText128(hundredths);
  if (fraction != 0) {
    std::string digits = DecTextU(fraction);
    if (digits.size() < 2) digits.insert(0, "0");
    if (digits.back() == '0') digits.pop_back();
    text += WithLocaleDecimalPoint(".") + digits;
  }
  return text + " GB";
}

std::vector<std::string> NvmeDetailsLines(const TNvmeController& c,
                                          const std::optional<TNvmeNamespace>& ns) {
  std::vector<std::string> lines = {"型号: " + c.Model, "固件修订: " + c.Firmware,
                                    "序列号: " + c.Serial, " ", "控制器:"};
  const std::string version = NvmeVersionText(c.Version);
  lines.push_back("NVMe 版本: " + (version.empty() ? std::string("未报告") : version));
  lines.push_back("PCI 厂商 ID: " + Hex4Prefixed(c.PciVendorId));
  lines.push_back("命名空间数: " + IntToStrGrouped(c.NamespaceCount));
  lines.push_back(" ");
  if (ns) {
    lines.push_back("命名空间:");
    lines.push_back("逻辑块大小: " + DecTextU(ns->BlockSize) + " 字节");
    lines.push_back("大小: " + GroupedText128({ns->SizeBlocks, 0}) + " 块");
    lines.push_back("容量: " + GroupedText128(Mul64x32(ns->SizeBlocks, ns->BlockSize)) + " 字节");
    lines.push_back(" ");
  }
  lines.push_back("特征:");
  lines.push_back(Supported(c.WriteCachePresent(), "易失性写缓存"));
  lines.push_back(Supported(c.FormatNvm(), " Format NVM"));
  lines.push_back(SanitizeLine(c));
  lines.push_back(Supported(c.SelfTest(), "设备自检"));
  lines.push_back("固件插槽: " + DecText(c.FirmwareSlots()) +
                  (c.FirstSlotReadOnly() ? "（插槽 1 只读）" : ""));
  return lines;
}

std::string NvmeCriticalWarningText(int bit) {
  static constexpr const char* kWarnings[] = {"可用备用空间低于阈值", "温度超出阈值",
                                              "可靠性下降",           "介质已处于只读模式",
                                              "易失性存储器备份失败", "持久内存区域只读"};
  return bit >= 0 && bit < 6 ? kWarnings[bit] : "";
}

std::vector<std::string> NvmeHealthLines(const TNvmeHealth& h) {
  std::vector<std::pair<std::string, std::string>> fields;
  auto add = [&fields](std::string label, std::string value) {
    fields.emplace_back(std::move(label), std::move(value));
  };
  auto degrees = [](uint16_t kelvin) { return DecText(int64_t{kelvin} - kKelvinOffset) + " 度"; };
  add("严重警告", Hex2Prefixed(h.CriticalWarning));
  // A temperature of 0 K is no reading: the sensor is absent.
  if (h.Temperature != 0) add("温度", degrees(h.Temperature));
  add("可用备用空间", DecTextU(h.AvailableSpare) + "%");
  add("可用备用空间阈值", DecTextU(h.SpareThreshold) + "%");
  add("已用寿命", DecTextU(h.PercentageUsed) + "%");
  add("读取数据单元",
      GroupedText128(h.DataUnitsRead) + " [" + DataUnitsSizeText(h.DataUnitsRead) + "]");
  add("写入数据单元",
      GroupedText128(h.DataUnitsWritten) + " [" + DataUnitsSizeText(h.DataUnitsWritten) + "]");
  add("主机读命令", GroupedText128(h.HostReadCommands));
  add("主机写命令", GroupedText128(h.HostWriteCommands));
  add("控制器忙碌时间", GroupedText128(h.ControllerBusyTime) + " 分钟");
  add("电源循环", GroupedText128(h.PowerCycles));
  add("通电时间", GroupedText128(h.PowerOnHours) + " 小时");
  add("不安全关机", GroupedText128(h.UnsafeShutdowns));
  add("介质和数据完整性错误", GroupedText128(h.MediaErrors));
  add("错误日志条目", GroupedText128(h.ErrorLogEntries));
  add("警告温度时间", IntToStrGrouped(h.WarningTempMinutes) + " 分钟");
  add("严重温度时间", IntToStrGrouped(h.CriticalTempMinutes) + " 分钟");
  for (int k = 0; k < 8; ++k) {
    if (h.SensorTemperature[k] != 0) {
      add("温度传感器 " + DecText(k + 1), degrees(h.SensorTemperature[k]));
    }
  }
  size_t width = 0;
  for (const auto& [label, value] : fields) width = std::max(width, DisplayWidth(label) + 1);
  std::vector<std::string> lines;
  for (const auto& [label, value] : fields) {
    lines.push_back(label + ":" + std::string(width - DisplayWidth(label), ' ') + value);
    if (lines.size() != 1) continue;
    for (int bit = 0; bit < 6; ++bit) {
      if (h.CriticalWarning & (1u << bit)) lines.push_back(NvmeCriticalWarningText(bit));
    }
  }
  lines.push_back(" ");
  return lines;
}

std::vector<std::string> NvmeDetailsReport(THandle handle) {
  TNvmeIdentifyBlock controller = {};
  if (!NvmeIdentifyController(handle, controller)) return {"此设备无法使用详细信息。"};
  // The controller's facts stand without the namespace's.
  TNvmeIdentifyBlock ns = {};
  std::optional<TNvmeNamespace> decoded;
  if (NvmeIdentifyNamespace(handle, ns)) decoded = DecodeNvmeNamespace(ns);
  return NvmeDetailsLines(DecodeNvmeController(controller), decoded);
}

std::vector<std::string> NvmeHealthReport(THandle handle) {
  TNvmeHealthBlock log = {};
  if (!NvmeReadHealthLog(handle, log)) return {"此设备不支持 SMART。"};
  return NvmeHealthLines(DecodeNvmeHealth(log));
}

}  // namespace quarnel
