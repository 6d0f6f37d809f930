// A drive's self-test log as JSON: the one place its names are written
// (docs/cli-json.md).
#pragma once

#include <nlohmann/json.hpp>

#include "reports/SelfTest.h"

namespace quarnel {

/// The log newest first: [{"type", "status", "remaining_percent",
/// "lifetime_hours", "failing_lba"}]; null when it was not read (a drive
/// that offers no self-tests has none).
nlohmann::ordered_json SelfTestsJson(const TSelfTestFacts& facts);

/// Whether the drive offers self-tests; null when it did not answer.
nlohmann::ordered_json SelfTestsOfferedJson(const TSelfTestFacts& facts);

}  // namespace quarnel
