#include "frontend/HostChoice.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "host/MachineHost.h"
#include "host/sim/SimHost.h"

namespace quarnel {

std::vector<std::string> SplitDeviceList(const std::string& list) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= list.size()) {
    const size_t comma = std::min(list.find(',', start), list.size());
    if (comma > start) items.push_back(list.substr(start, comma - start));
    start = comma + 1;
  }
  return items;
}

namespace {
int64_t simulatedStartMs = 0;
}  // namespace

int64_t SimulatedStartMs() { return simulatedStartMs; }

bool InstallHost(const THostOptions& options, std::string* error, std::string* notice) {
  simulatedStartMs = 0;
  if (options.Simulate) {
    std::unique_ptr<SimHost> host = options.SimulateFile.empty()
                                        ? SimHost::Demo()
                                        : SimHost::FromFile(options.SimulateFile, error);
    if (!host) return false;
    if (options.SimulateStartMs > 0) host->SetStartMs(options.SimulateStartMs);
    simulatedStartMs = host->StartMs();
    SetHost(std::move(host));
    return true;
  }
  std::vector<std::string> devices = options.Devices;
  if (!options.DevicesGiven) {
    if (const char* env = std::getenv("QUARNEL_DEVICES"); env && *env)
      devices = SplitDeviceList(env);
  }
  std::unique_ptr<Host> host =
      CreateMachineHost(devices, error, notice, options.DevicesMayBeAbsent);
  if (!host) return false;
  SetHost(std::move(host));
  return true;
}

}  // namespace quarnel
