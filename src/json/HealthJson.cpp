#include "json/HealthJson.h"

#include <optional>

namespace quarnel {

namespace {

using json = nlohmann::ordered_json;

}  // namespace

const char* HealthVerdictName(THealthVerdict v) {
  switch (v) {
    case THealthVerdict::Good:
      return "good";
    case THealthVerdict::Warning:
      return "warning";
    case THealthVerdict::Failing:
      return "failing";
    case THealthVerdict::Unknown:
      break;
  }
  return "unknown";
}

namespace {

const char* ReasonName(THealthReasonKind k) {
  switch (k) {
    case THealthReasonKind::NoSmartData:
      return "no_smart_data";
    case THealthReasonKind::ReturnStatusFailed:
      return "return_status_failed";
    case THealthReasonKind::AttributeFailingNow:
      return "attribute_failing_now";
    case THealthReasonKind::AttributeFailedInPast:
      return "attribute_failed_in_past";
    case THealthReasonKind::BadSectors:
      return "bad_sectors";
    case THealthReasonKind::ManyBadSectors:
      return "many_bad_sectors";
    case THealthReasonKind::NvmeCriticalWarning:
      return "critical_warning";
    case THealthReasonKind::NvmeSpareLow:
      return "available_spare_low";
    case THealthReasonKind::NvmeWornOut:
      return "percentage_used";
    case THealthReasonKind::NvmeMediaErrors:
      return "media_errors";
  }
  return "";
}

// The critical warning bits 0..5 of the NVMe health log.
const char* WarningBitName(uint8_t bit) {
  static constexpr const char* kNames[] = {
      "spare_below_threshold",  "temperature",
      "reliability_degraded",   "read_only",
      "volatile_backup_failed", "persistent_memory_unreliable"};
  return bit < 6 ? kNames[bit] : "";
}

json ReasonObject(const THealthReason& r) {
  json j = {{"reason", ReasonName(r.Kind)}};
  switch (r.Kind) {
    case THealthReasonKind::AttributeFailingNow:
      j["attribute"] = r.Attribute;
      j["current"] = r.Value;
      j["threshold"] = r.Limit;
      break;
    case THealthReasonKind::AttributeFailedInPast:
      j["attribute"] = r.Attribute;
      j["worst"] = r.Value;
      j["threshold"] = r.Limit;
      break;
    case THealthReasonKind::BadSectors:
      j["attribute"] = r.Attribute;
      j["sectors"] = r.Value;
      break;
    case THealthReasonKind::ManyBadSectors:
      j["sectors"] = r.Value;
      j["limit"] = r.Limit;
      break;
    case THealthReasonKind::NvmeCriticalWarning:
      j["bit"] = r.Attribute;
      j["warning"] = WarningBitName(r.Attribute);
      break;
    case THealthReasonKind::NvmeSpareLow:
      j["percent"] = r.Value;
      j["threshold_percent"] = r.Limit;
      break;
    case THealthReasonKind::NvmeWornOut:
      j["percent"] = r.Value;
      break;
    case THealthReasonKind::NvmeMediaErrors:
      j["count"] = r.Value;
      break;
    case THealthReasonKind::NoSmartData:
    case THealthReasonKind::ReturnStatusFailed:
      break;
  }
  return j;
}

// A whole number from 0 to 2^53 - 1 at `key`, or none.
std::optional<uint64_t> Count(const nlohmann::json& j, const char* key) {
  const auto it = j.find(key);
  if (it == j.end() || !it->is_number_unsigned()) return std::nullopt;
  const uint64_t n = it->get<uint64_t>();
  if (n >= (uint64_t{1} << 53)) return std::nullopt;
  return n;
}

}  // namespace

THealthAssessment ReadHealthObject(const nlohmann::json& j) {
  THealthAssessment a;
  if (!j.is_object()) return a;
  for (THealthVerdict v :
       {THealthVerdict::Good, THealthVerdict::Warning, THealthVerdict::Failing}) {
    if (j.value("verdict", std::string()) == HealthVerdictName(v)) a.Verdict = v;
  }
  const std::string status = j.contains("return_status") && j["return_status"].is_string()
                                 ? j["return_status"].get<std::string>()
                                 : std::string();
  if (status == "passed") a.ReturnStatus = TSmartReturnStatus::Passed;
  if (status == "failed") a.ReturnStatus = TSmartReturnStatus::Failed;
  a.BadSectors = Count(j, "bad_sectors");
  const auto reasons = j.find("reasons");
  if (reasons == j.end() || !reasons->is_array()) return a;
  for (const nlohmann::json& r : *reasons) {
    if (!r.is_object() || !r.contains("reason") || !r["reason"].is_string()) continue;
    const std::string name = r["reason"].get<std::string>();
    for (int k = 0; k <= static_cast<int>(THealthReasonKind::NvmeMediaErrors); ++k) {
      const auto kind = static_cast<THealthReasonKind>(k);
      if (name != ReasonName(kind)) continue;
      THealthReason reason;
      reason.Kind = kind;
      std::optional<uint64_t> id = Count(r, "attribute");
      if (!id) id = Count(r, "bit");
      reason.Attribute = static_cast<uint8_t>(id && *id <= 255 ? *id : 0);
      for (const char* key : {"current", "worst", "sectors", "percent", "count"}) {
        if (const auto v = Count(r, key)) reason.Value = *v;
      }
      for (const char* key : {"threshold", "limit", "threshold_percent"}) {
        if (const auto v = Count(r, key)) reason.Limit = *v;
      }
      // Worn out is judged at 100 % used, a limit the document leaves out.
      if (kind == THealthReasonKind::NvmeWornOut) reason.Limit = 100;
      a.Reasons.push_back(reason);
    }
  }
  return a;
}

json HealthObject(const THealthAssessment& a) {
  json status = nullptr;
  if (a.ReturnStatus == TSmartReturnStatus::Passed) status = "passed";
  if (a.ReturnStatus == TSmartReturnStatus::Failed) status = "failed";
  json reasons = json::array();
  for (const THealthReason& r : a.Reasons) reasons.push_back(ReasonObject(r));
  return {{"verdict", HealthVerdictName(a.Verdict)},
          {"return_status", status},
          {"bad_sectors", a.BadSectors ? json(*a.BadSectors) : json(nullptr)},
          {"reasons", reasons}};
}

}  // namespace quarnel
