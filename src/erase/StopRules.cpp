#include "erase/StopRules.h"

#include <cstring>

#include "ata/AtaCommands.h"
#include "devices/DeviceTable.h"
#include "nvme/NvmeCommands.h"
#include "nvme/NvmeDecode.h"

namespace quarnel {

void TStopRuleWatch::StartPass(int64_t nowMs) {
  passStart_ = nowMs;
  samples_.clear();
  samples_.emplace_back(nowMs, 0);
}

TStopRule TStopRuleWatch::Check(int64_t nowMs, int64_t bytes,
                                const std::function<bool(int*)>& readCelsius) {
  if (rules_.MaxCelsius > 0 && !noTemperature_ &&
      (lastTemperature_ == INT64_MIN || nowMs - lastTemperature_ >= kTemperatureEveryMs)) {
    lastTemperature_ = nowMs;
    int celsius = 0;
    if (!readCelsius || !readCelsius(&celsius)) {
      noTemperature_ = true;
    } else if (celsius > rules_.MaxCelsius) {
      return {"stop-above", static_cast<double>(rules_.MaxCelsius), static_cast<double>(celsius)};
    }
  }
  if (rules_.MinMBps <= 0) return {};
  if (samples_.empty()) StartPass(nowMs);
  if (nowMs - samples_.back().first >= 1000) samples_.emplace_back(nowMs, bytes);
  // Keep one sample at least a window old: the base of the speed.
  while (samples_.size() > 2 && nowMs - samples_[1].first >= kSpeedWindowMs) samples_.pop_front();
  if (nowMs - passStart_ < kSpeedGraceMs) return {};
  const auto [baseMs, baseBytes] = samples_.front();
  if (nowMs - baseMs < kSpeedWindowMs) return {};
  const double mbps =
      static_cast<double>(bytes - baseBytes) / 1000.0 / static_cast<double>(nowMs - baseMs);
  if (mbps < rules_.MinMBps) return {"stop-below", rules_.MinMBps, mbps};
  return {};
}

bool ReadDriveTemperature(THandle handle, const TIdentifyDeviceData& id, int* celsius) {
  int value = 0;
  if (id.BusType == TBusType::Nvme) {
    TNvmeHealthBlock log = {};
    if (!NvmeReadHealthLog(handle, log)) return false;
    const int kelvin = DecodeNvmeHealth(log).Temperature;
    if (kelvin == 0) return false;
    value = kelvin - 273;
  } else {
    TAtaBlock page = {};
    if (!ReadSmartPage(handle, id.BusType == TBusType::Ata, id.IsIDESlave, page)) return false;
    bool found = false;
    for (const int wanted : {194, 190}) {
      for (int i = 0; i < kSmartAttributeSlots && !found; ++i) {
        const uint8_t* e = page + kSmartFirstEntry + kSmartEntrySize * i;
        if (e[0] == 0) break;
        if (e[0] != wanted) continue;
        value = e[5];  // the raw value's low byte: the current temperature
        found = true;
      }
      if (found) break;
    }
    if (!found) return false;
  }
  // A sensor that reads below freezing or hotter than any drive survives
  // is no reading.
  if (value < 1 || value > 150) return false;
  *celsius = value;
  return true;
}

}  // namespace quarnel
