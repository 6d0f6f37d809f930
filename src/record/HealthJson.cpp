#include "record/HealthJson.h"

namespace quarnel {

namespace {

using json = nlohmann::ordered_json;

const char* VerdictName(THealthVerdict v) {
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

}  // namespace

json HealthObject(const THealthAssessment& a) {
  json status = nullptr;
  if (a.ReturnStatus == TSmartReturnStatus::Passed) status = "passed";
  if (a.ReturnStatus == TSmartReturnStatus::Failed) status = "failed";
  json reasons = json::array();
  for (const THealthReason& r : a.Reasons) reasons.push_back(ReasonObject(r));
  return {{"verdict", VerdictName(a.Verdict)},
          {"return_status", status},
          {"bad_sectors", a.BadSectors ? json(*a.BadSectors) : json(nullptr)},
          {"reasons", reasons}};
}

}  // namespace quarnel
