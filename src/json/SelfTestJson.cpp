#include "json/SelfTestJson.h"

namespace quarnel {

namespace {

using json = nlohmann::ordered_json;

const char* TypeName(TSelfTestType t) {
  switch (t) {
    case TSelfTestType::Offline:
      return "offline";
    case TSelfTestType::Short:
      return "short";
    case TSelfTestType::Extended:
      return "extended";
    case TSelfTestType::Conveyance:
      return "conveyance";
    case TSelfTestType::Selective:
      return "selective";
    case TSelfTestType::Vendor:
      break;
  }
  return "vendor";
}

const char* StatusName(TSelfTestStatus s) {
  switch (s) {
    case TSelfTestStatus::Completed:
      return "completed";
    case TSelfTestStatus::AbortedByHost:
      return "aborted";
    case TSelfTestStatus::Interrupted:
      return "interrupted";
    case TSelfTestStatus::FatalError:
      return "fatal_error";
    case TSelfTestStatus::FailedUnknown:
      return "unknown_failure";
    case TSelfTestStatus::FailedElectrical:
      return "electrical_failure";
    case TSelfTestStatus::FailedServo:
      return "servo_failure";
    case TSelfTestStatus::FailedRead:
      return "read_failure";
    case TSelfTestStatus::FailedHandling:
      return "handling_damage";
    case TSelfTestStatus::FailedSegment:
      return "segment_failure";
    case TSelfTestStatus::AbortedOther:
      return "aborted_other";
    case TSelfTestStatus::InProgress:
      return "in_progress";
    case TSelfTestStatus::Unknown:
      break;
  }
  return "unknown";
}

}  // namespace

json SelfTestsJson(const TSelfTestFacts& f) {
  if (!f.LogRead) return nullptr;
  json list = json::array();
  for (const TSelfTestEntry& e : f.Log) {
    list.push_back(
        {{"type", TypeName(e.Type)},
         {"status", StatusName(e.Status)},
         {"remaining_percent", e.RemainingPercent ? json(*e.RemainingPercent) : json(nullptr)},
         {"lifetime_hours", e.LifetimeHours},
         {"failing_lba", e.FailingLba ? json(*e.FailingLba) : json(nullptr)}});
  }
  return list;
}

json SelfTestsOfferedJson(const TSelfTestFacts& f) {
  return f.Asked ? json(f.Offered) : json(nullptr);
}

}  // namespace quarnel
