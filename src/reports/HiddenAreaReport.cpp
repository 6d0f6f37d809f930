#include "reports/HiddenAreaReport.h"

#include "base/NumberTexts.h"

namespace quarnel {

namespace {

const char* const kUnknown = "无法确定";

std::string Sectors(int64_t n) { return IntToStrGrouped(n); }

}  // namespace

std::vector<std::string> HiddenAreaLines(const THiddenAreaQuery& q) {
  std::vector<std::string> lines = {" ", "隐藏区域:"};
  if (!q.Ata) {
    // A bridge that passes no ATA command hides nothing we could see: that
    // is not the same as a drive that hides nothing.
    lines.push_back(std::string(kUnknown) + ": " + q.NativeReason);
    return lines;
  }
  const THiddenAreaSupport& s = q.Support;
  lines.push_back("当前扇区: " + Sectors(s.CurrentSectors));
  lines.push_back(std::string("HPA（主机保护区）: ") + (s.HpaSupported ? "支持" : "不支持") +
                  (s.HpaSupported ? (s.HpaEnabled ? "，已启用" : "，未启用") : ""));
  if (q.NativeMax >= 0) {
    lines.push_back("本机最大扇区: " + Sectors(q.NativeMax) +
                    (q.NativeCommand.empty() ? "" : " (" + q.NativeCommand + ")"));
    lines.push_back("隐藏扇区 (HPA): " + Sectors(q.HpaSectors()));
  } else {
    lines.push_back(std::string("本机最大扇区: ") + kUnknown + ": " + q.NativeReason);
    lines.push_back(std::string("隐藏扇区 (HPA): ") + kUnknown);
  }
  if (!s.DcoSupported) {
    lines.push_back("DCO（设备配置覆盖）: 不支持");
  } else if (q.DcoMax >= 0) {
    lines.push_back("DCO 最大扇区: " + Sectors(q.DcoMax));
    lines.push_back("隐藏扇区 (DCO): " + Sectors(q.DcoSectors()));
  } else {
    lines.push_back(std::string("DCO 最大扇区: ") + kUnknown + ": " + q.DcoReason);
    lines.push_back(std::string("隐藏扇区 (DCO): ") + kUnknown);
  }
  return lines;
}

}  // namespace quarnel
