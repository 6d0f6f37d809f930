// Stop rules of the terminal program's format: a drive whose writes slow
// below a floor, or that grows hotter than a ceiling, is stopped alone and
// the record says why.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <utility>

#include "ata/Identification.h"
#include "erase/EraseRecord.h"
#include "host/Host.h"

namespace quarnel {

struct TStopRules {
  double MinMBps = 0;  // --stop-below: 10^6 bytes per second; 0: no floor
  int MaxCelsius = 0;  // --stop-above; 0: no ceiling
  bool Any() const { return MinMBps > 0 || MaxCelsius > 0; }
};

/// The speed is judged over the last kSpeedWindowMs, once a pass has run
/// kSpeedGraceMs (a drive's first minute says little: caches, spin-up); the
/// temperature is asked at most every kTemperatureEveryMs.
inline constexpr int64_t kSpeedGraceMs = 60'000;
inline constexpr int64_t kSpeedWindowMs = 30'000;
inline constexpr int64_t kTemperatureEveryMs = 30'000;

/// Watches one run, pass by pass (the writing, then its read-back).
class TStopRuleWatch {
 public:
  explicit TStopRuleWatch(const TStopRules& rules) : rules_(rules) {}

  /// A pass begins at `nowMs` (any steady clock in milliseconds).
  void StartPass(int64_t nowMs);
  /// The pass has done `bytes` at `nowMs`. `readCelsius` is asked for the
  /// drive's temperature when one is due; it returns false when the drive
  /// reports none, and is then not asked again. Returns the rule broken, or
  /// one with an empty Rule.
  TStopRule Check(int64_t nowMs, int64_t bytes, const std::function<bool(int*)>& readCelsius);
  /// Whether the drive answered no temperature (so --stop-above does not apply).
  bool TemperatureUnknown() const { return noTemperature_; }

 private:
  TStopRules rules_;
  int64_t passStart_ = 0;
  std::deque<std::pair<int64_t, int64_t>> samples_;  // (ms, bytes), about one a second
  int64_t lastTemperature_ = INT64_MIN;
  bool noTemperature_ = false;
};

/// The temperature the drive behind `handle` reports now, in °C: the NVMe
/// health log's composite temperature, or the raw value of SMART attribute
/// 194 (else 190). False when it reports none or nothing sensible.
bool ReadDriveTemperature(THandle handle, const TIdentifyDeviceData& id, int* celsius);

}  // namespace quarnel
