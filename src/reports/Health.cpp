#include "reports/Health.h"

#include "base/NumberTexts.h"
#include "base/Text.h"
#include "reports/NvmeReports.h"

namespace quarnel {

namespace {

constexpr uint8_t kReallocatedSectors = 5;
constexpr uint8_t kPendingSectors = 197;
constexpr uint64_t kNoCount = 0xFFFFFFFFu;
constexpr int kNvmeWarningBits = 6;  // bits 6 and 7 are reserved

// Normalised values run 1..253; 0, 254 and 255 are no reading.
bool IsNormalised(uint8_t value) { return value >= 1 && value <= 253; }

bool Judged(const TSmartAttributeRow& a) {
  return (a.Flags & 1) != 0 && a.Threshold && *a.Threshold != 0;
}

bool IsFailingKind(THealthReasonKind kind) {
  switch (kind) {
    case THealthReasonKind::ReturnStatusFailed:
    case THealthReasonKind::AttributeFailingNow:
    case THealthReasonKind::ManyBadSectors:
    case THealthReasonKind::NvmeCriticalWarning:
      return true;
    default:
      return false;
  }
}

// Failing when any reason fails it, warning for any other reason, good without.
void SetVerdict(THealthAssessment& a) {
  a.Verdict = a.Reasons.empty() ? THealthVerdict::Good : THealthVerdict::Warning;
  for (const THealthReason& r : a.Reasons) {
    if (IsFailingKind(r.Kind)) a.Verdict = THealthVerdict::Failing;
  }
}

void AddBadSectors(const std::vector<TSmartAttributeRow>& attributes, int64_t sectors,
                   THealthAssessment& a) {
  bool seen[2] = {false, false};
  for (const TSmartAttributeRow& attribute : attributes) {
    if (attribute.Id != kReallocatedSectors && attribute.Id != kPendingSectors) continue;
    // A table that lists an attribute twice counts its sectors once.
    bool& counted = seen[attribute.Id == kPendingSectors ? 1 : 0];
    if (counted) continue;
    counted = true;
    const std::optional<uint64_t> count = BadSectorCount(attribute, sectors);
    if (!count) continue;
    a.BadSectors = a.BadSectors.value_or(0) + *count;
    if (*count > 0) a.Reasons.push_back({THealthReasonKind::BadSectors, attribute.Id, *count, 0});
  }
  const uint64_t limit = BadSectorLimit(sectors);
  if (a.BadSectors && limit != 0 && *a.BadSectors > limit) {
    a.Reasons.push_back({THealthReasonKind::ManyBadSectors, 0, *a.BadSectors, limit});
  }
}

std::string AttributeText(uint8_t id) {
  return "属性 " + DecText(id) + " (" + Trim(GetSmartAttributeName(id)) + ")";
}

std::string ReasonText(const THealthReason& r) {
  switch (r.Kind) {
    case THealthReasonKind::NoSmartData:
      return "设备未提供 SMART 数据";
    case THealthReasonKind::ReturnStatusFailed:
      return "SMART 返回状态: 设备预测自身即将故障";
    case THealthReasonKind::AttributeFailingNow:
      return AttributeText(r.Attribute) + ": 当前值 " + DecTextU(r.Value) + " 不高于阈值 " +
             DecTextU(r.Limit);
    case THealthReasonKind::AttributeFailedInPast:
      return AttributeText(r.Attribute) + ": 最差值 " + DecTextU(r.Value) + " 曾不高于阈值 " +
             DecTextU(r.Limit);
    case THealthReasonKind::BadSectors:
      return AttributeText(r.Attribute) + ": " + DecTextU(r.Value) + " 个坏扇区";
    case THealthReasonKind::ManyBadSectors:
      return "坏扇区过多: " + DecTextU(r.Value) + " 个，超过 " + DecTextU(r.Limit) + " 个";
    case THealthReasonKind::NvmeCriticalWarning:
      return "严重警告位 " + DecText(r.Attribute) + ": " + NvmeCriticalWarningText(r.Attribute);
    case THealthReasonKind::NvmeSpareLow:
      return "可用备用空间 " + DecTextU(r.Value) + "% 不高于阈值 " + DecTextU(r.Limit) + "%";
    case THealthReasonKind::NvmeWornOut:
      return "已用寿命 " + DecTextU(r.Value) + "%";
    case THealthReasonKind::NvmeMediaErrors:
      return "介质和数据完整性错误: " + DecTextU(r.Value);
  }
  return "";
}

}  // namespace

const char* HealthVerdictText(THealthVerdict v) {
  switch (v) {
    case THealthVerdict::Good:
      return "良好";
    case THealthVerdict::Warning:
      return "警告";
    case THealthVerdict::Failing:
      return "故障";
    case THealthVerdict::Unknown:
      break;
  }
  return "未知";
}

namespace {

const char* ReturnStatusText(TSmartReturnStatus s) {
  switch (s) {
    case TSmartReturnStatus::Passed:
      return "通过";
    case TSmartReturnStatus::Failed:
      return "失败";
    case TSmartReturnStatus::NoAnswer:
      break;
  }
  return "无回答";
}

}  // namespace

uint64_t BadSectorLimit(int64_t sectors) {
  if (sectors <= 0) return 0;
  uint64_t powers = 0;
  for (uint64_t n = static_cast<uint64_t>(sectors); n > 1; n >>= 1) ++powers;
  return powers * 1024;
}

std::optional<uint64_t> BadSectorCount(const TSmartAttributeRow& attribute, int64_t sectors) {
  const uint64_t count = attribute.Raw & 0xFFFFFFFFu;
  if (count == kNoCount) return std::nullopt;
  if (sectors > 0 && count > static_cast<uint64_t>(sectors)) return std::nullopt;
  return count;
}

THealthAssessment AssessAtaHealth(const std::vector<TSmartAttributeRow>& attributes,
                                  TSmartReturnStatus status, int64_t sectors) {
  THealthAssessment a;
  a.ReturnStatus = status;
  if (status == TSmartReturnStatus::Failed) {
    a.Reasons.push_back({THealthReasonKind::ReturnStatusFailed, 0, 0, 0});
  }
  for (const TSmartAttributeRow& attribute : attributes) {
    if (!Judged(attribute)) continue;
    const uint8_t threshold = *attribute.Threshold;
    // A value failing now has a worst value as low: the one reason says it.
    if (IsNormalised(attribute.Current) && attribute.Current <= threshold) {
      a.Reasons.push_back(
          {THealthReasonKind::AttributeFailingNow, attribute.Id, attribute.Current, threshold});
    } else if (IsNormalised(attribute.Worst) && attribute.Worst <= threshold) {
      a.Reasons.push_back(
          {THealthReasonKind::AttributeFailedInPast, attribute.Id, attribute.Worst, threshold});
    }
  }
  AddBadSectors(attributes, sectors, a);
  SetVerdict(a);
  return a;
}

THealthAssessment AssessNvmeHealth(const TNvmeHealth& h) {
  THealthAssessment a;
  for (int bit = 0; bit < kNvmeWarningBits; ++bit) {
    if (h.CriticalWarning & (1u << bit)) {
      a.Reasons.push_back(
          {THealthReasonKind::NvmeCriticalWarning, static_cast<uint8_t>(bit), 0, 0});
    }
  }
  if (h.AvailableSpare <= h.SpareThreshold) {
    a.Reasons.push_back({THealthReasonKind::NvmeSpareLow, 0, h.AvailableSpare, h.SpareThreshold});
  }
  if (h.PercentageUsed >= 100) {
    a.Reasons.push_back({THealthReasonKind::NvmeWornOut, 0, h.PercentageUsed, 100});
  }
  if (h.MediaErrors.High != 0 || h.MediaErrors.Low != 0) {
    // Past 64 bits the count is shown as the largest one that fits.
    const uint64_t count = h.MediaErrors.High != 0 ? UINT64_MAX : h.MediaErrors.Low;
    a.Reasons.push_back({THealthReasonKind::NvmeMediaErrors, 0, count, 0});
  }
  SetVerdict(a);
  return a;
}

THealthAssessment AssessSmartFacts(const TSmartFacts& f) {
  if (!f.Read) {
    THealthAssessment a;
    a.Reasons.push_back({THealthReasonKind::NoSmartData, 0, 0, 0});
    return a;
  }
  if (f.Nvme) return AssessNvmeHealth(f.Health);
  return AssessAtaHealth(SmartAttributes(f), f.ReturnStatus, f.Sectors);
}

std::string HealthConfirmationLine(const THealthAssessment& a) {
  std::string line = "健康评估: " + std::string(HealthVerdictText(a.Verdict));
  if (!a.Reasons.empty()) line += " (" + ReasonText(a.Reasons.front()) + ")";
  if (a.Verdict == THealthVerdict::Failing) line += std::string(" ") + kNotForReuseText;
  return line;
}

std::vector<std::string> HealthLines(const THealthAssessment& a, bool nvme) {
  std::vector<std::string> lines = {"健康评估: " + std::string(HealthVerdictText(a.Verdict))};
  if (!nvme && a.Verdict != THealthVerdict::Unknown) {
    lines.push_back("SMART 返回状态: " + std::string(ReturnStatusText(a.ReturnStatus)));
    // Two counts of 32 bits at most each: the sum fits.
    lines.push_back("坏扇区: " + (a.BadSectors
                                      ? IntToStrGrouped(static_cast<int64_t>(*a.BadSectors))
                                      : std::string("未报告")));
  }
  if (!a.Reasons.empty()) lines.push_back("原因:");
  for (const THealthReason& r : a.Reasons) lines.push_back("  " + ReasonText(r));
  lines.push_back(" ");
  return lines;
}

}  // namespace quarnel
