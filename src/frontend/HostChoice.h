// The host a front end runs on, chosen from the command line: the simulated
// machine with --simulate[=FILE], otherwise the real one, restricted by
// --devices=LIST or QUARNEL_DEVICES.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quarnel {

struct THostOptions {
  bool Simulate = false;
  std::string SimulateFile;  // empty: the demo machine
  std::vector<std::string> Devices;
  bool DevicesGiven = false;
  // Listed nodes that are not there yet are taken (a watch waits for them).
  bool DevicesMayBeAbsent = false;
  int64_t SimulateStartMs = 0;  // the simulated schedule's start; 0: the host's making
};

/// The start of the installed simulated machine's schedule (milliseconds
/// since 1970, for a batch's members); 0 when the host is the real machine.
int64_t SimulatedStartMs();

/// The items of a comma-separated list, empty ones left out.
std::vector<std::string> SplitDeviceList(const std::string& list);

/// Installs the host. Returns false and sets *error when it cannot be made;
/// *notice receives warnings worth showing either way.
bool InstallHost(const THostOptions& options, std::string* error, std::string* notice);

}  // namespace quarnel
