// Word that a disk came or went, from the system itself (or the simulated
// machine's schedule), so that a window or a watch looks again only then and
// never opens every drive on a timer.
#pragma once

#include <memory>
#include <string>

#include "host/Host.h"

namespace quarnel {

class TDriveEvents {
 public:
  virtual ~TDriveEvents() = default;
  /// True when a disk came or went since the last call; never waits. The
  /// host has then looked again at its drives (Host::RefreshDrives): a scan
  /// finds the drives there now.
  virtual bool Changed() = 0;
};

/// The events of `host`'s machine: a simulated machine's attach and detach
/// schedule, else the system's own notifications. nullptr (with *error when
/// given) when the system gives none.
std::unique_ptr<TDriveEvents> OpenDriveEvents(Host& host, std::string* error = nullptr);

}  // namespace quarnel
