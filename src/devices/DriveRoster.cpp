#include "devices/DriveRoster.h"

#include <algorithm>

#include "base/Text.h"

namespace quarnel {

namespace {

TRosterDrive FromEntry(const TDeviceTable& entry, int64_t index) {
  TRosterDrive d;
  d.Path = entry.DevicePath;
  d.Model = Trim(entry.IdentifyData.Model);
  d.Serial = Trim(entry.IdentifyData.SN);
  d.Size = entry.IdentifyData.LBA * std::max<int64_t>(entry.IdentifyData.SectorSize, 0);
  d.HasSequence = entry.Identity.Read && entry.Identity.HasSequence;
  d.Sequence = entry.Identity.Sequence;
  d.Bus = entry.IdentifyData.BusType;
  d.TableIndex = index;
  return d;
}

bool Same(const TRosterDrive& a, const TRosterDrive& b) {
  if (a.Path != b.Path || a.Model != b.Model || a.Serial != b.Serial || a.Size != b.Size) {
    return false;
  }
  return !(a.HasSequence && b.HasSequence && a.Sequence != b.Sequence);
}

}  // namespace

TRosterChange TDriveRoster::Update(const TDeviceTableArray& table, int64_t count) {
  TRosterChange change;
  std::vector<bool> seen(drives_.size(), false);
  for (TRosterDrive& d : drives_) d.TableIndex = 0;
  for (int64_t i = 1; i <= count; ++i) {
    const TRosterDrive found = FromEntry(table[i], i);
    bool known = false;
    for (size_t k = 0; k < drives_.size(); ++k) {
      TRosterDrive& d = drives_[k];
      if (!d.Present || seen[k]) continue;
      if (Same(d, found)) {
        seen[k] = true;
        d.TableIndex = i;
        known = true;
        break;
      }
      if (d.Path == found.Path) {
        // Another drive at its node: the one before is gone, held or not.
        d.Present = false;
        d.Held = false;
        seen[k] = true;
        change.Departed.push_back(k);
      }
    }
    if (!known) {
      drives_.push_back(found);
      seen.push_back(true);
      change.Arrived.push_back(drives_.size() - 1);
    }
  }
  for (size_t k = 0; k < seen.size(); ++k) {
    TRosterDrive& d = drives_[k];
    if (seen[k] || !d.Present || d.Held) continue;
    d.Present = false;
    change.Departed.push_back(k);
  }
  return change;
}

void TDriveRoster::Arm() {
  for (TRosterDrive& d : drives_) d.Armed = d.Armed || d.Present;
}

void TDriveRoster::Hold(size_t index, bool held) {
  if (index < drives_.size()) drives_[index].Held = held;
}

}  // namespace quarnel
