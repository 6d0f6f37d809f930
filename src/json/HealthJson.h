// A drive's health verdict as JSON: the one place its names are written, for
// every document that carries a verdict (docs/cli-json.md).
#pragma once

#include <nlohmann/json.hpp>

#include "reports/Health.h"

namespace quarnel {

/// {"verdict", "return_status", "bad_sectors", "reasons"}; an NVMe drive's
/// return status and bad sectors are null.
nlohmann::ordered_json HealthObject(const THealthAssessment& assessment);

/// A verdict's JSON name: "good", "warning", "failing" or "unknown".
const char* HealthVerdictName(THealthVerdict verdict);

/// The verdict a HealthObject holds, as a record read back gives it: names
/// it does not know and values out of range are left out (an unknown
/// verdict, a reason less).
THealthAssessment ReadHealthObject(const nlohmann::json& object);

}  // namespace quarnel
