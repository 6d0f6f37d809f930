// One drive of the machine as a batch takes it: its row's fields from the
// scan, and what the question says of it beside its row (the volumes taken
// down, the sectors it hides, its health), asked once before the question.
// The terminal's batch, its watch and the desktop's station share it.
#pragma once

#include <cstdint>
#include <string>

#include "batch/BatchReport.h"
#include "devices/DeviceTable.h"
#include "reports/Health.h"

namespace quarnel {

/// The row's drive fields of table entry `entry` shown as drive `number`.
TBatchRow BatchRowOfDrive(int64_t number, const TDeviceTable& entry);

/// What the question names beside a drive.
struct TAskedDrive {
  std::string Volumes;  // mounted volumes the run takes down
  std::string Hidden;   // the question's line on sectors the drive hides; "" none
  THealthAssessment Health;
  std::string HealthLine;  // the question's line on its health; "" without a verdict
};

/// Asks the drive of `entry`, with read-only commands through a shared open
/// that is closed again at once; each run asks again for its own record.
/// A drive that cannot be opened gives its volumes alone.
TAskedDrive AskDrive(const TDeviceTable& entry);

}  // namespace quarnel
