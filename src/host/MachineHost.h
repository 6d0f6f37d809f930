// The host of the machine the program runs on.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/Host.h"

namespace quarnel {

/// The real machine's host. `devices` restricts the drives to those nodes, in
/// that order (empty: every drive). Returns nullptr and sets *error when a
/// listed device cannot be used; with `absentAllowed`, a listed node that is
/// not there yet (or a loop device without a file) is taken as a drive to
/// come, found by RefreshDrives. `notice` receives warnings worth showing.
std::unique_ptr<Host> CreateMachineHost(const std::vector<std::string>& devices, std::string* error,
                                        std::string* notice, bool absentAllowed = false);

/// The machine's own word that a disk came or went.
class TMachineDiskEvents {
 public:
  virtual ~TMachineDiskEvents() = default;
  /// True when the system said a disk was added, removed or changed its
  /// medium since the last call; never waits.
  virtual bool Changed() = 0;
};

/// Opens the system's disk notifications (Linux: the kernel's block-device
/// uevents; Windows: the disk interface's arrival and removal); nullptr with
/// *error when the system gives none.
std::unique_ptr<TMachineDiskEvents> OpenMachineDiskEvents(std::string* error);

}  // namespace quarnel
