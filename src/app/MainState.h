// State the main window keeps for the whole run and lends to the reports and
// the format: the open handle of the chosen drive.
#pragma once

#include "host/Host.h"

namespace quarnel {

/// The chosen drive, opened for reading and writing without sharing;
/// kInvalidHandle until opened and after it is closed.
extern THandle DeviceHandle;

/// Forgets the handle without closing it (tests).
void ResetMainState();

}  // namespace quarnel
