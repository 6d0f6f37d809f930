// The drives a long-running window or watch has seen, from one scan to the
// next: who arrived, who went, and who was there when a watch was armed. A
// drive is named by what it is (model, serial, size, disk sequence where the
// host has one) together with its node: one that appears under a node
// another drive had is a new drive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "devices/DeviceTable.h"

namespace quarnel {

struct TRosterDrive {
  std::string Path;
  std::string Model, Serial;  // trimmed, as the scan identified them
  int64_t Size = 0;           // bytes
  bool HasSequence = false;
  uint64_t Sequence = 0;
  TBusType Bus = TBusType::Unknown;
  bool Present = true;
  bool Armed = false;  // there when the watch was armed: never one of its drives
  bool Held = false;   // a run holds it: a scan that misses it is no departure
  int64_t TableIndex = 0;  // its entry in the last scan's table (0: not in it)
};

struct TRosterChange {
  std::vector<size_t> Arrived;   // indices into Drives()
  std::vector<size_t> Departed;  // indices into Drives()
};

class TDriveRoster {
 public:
  /// Takes the table of a scan (entries 1..count): drives not known before
  /// arrive, known ones missing from it (and not held) depart. The first
  /// update finds every drive as arrived.
  TRosterChange Update(const TDeviceTableArray& table, int64_t count);
  /// Every drive present now was here when armed.
  void Arm();
  /// While held (a run has the drive open alone, so a scan cannot open it),
  /// a scan that misses the drive does not make it depart.
  void Hold(size_t index, bool held);
  const std::vector<TRosterDrive>& Drives() const { return drives_; }

 private:
  std::vector<TRosterDrive> drives_;  // every drive ever seen, in order; never removed
};

}  // namespace quarnel
