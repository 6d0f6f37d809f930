// State the main window keeps for the whole run and lends to the reports and
// the format: the open handle of the chosen drive, its description, the busy
// switch, and the close of the main window.
#pragma once

#include <string>

#include "host/Host.h"

namespace quarnel {

/// The chosen drive, opened for reading and writing without sharing;
/// kInvalidHandle until opened and after it is closed.
extern THandle DeviceHandle;

/// The one-line description of the chosen drive, kept after the choice.
extern std::string DeviceDescription;

/// The busy switch: enables or disables the format button, the SMART button,
/// the quick-wipe box and the read-back box, and nothing else.
void SetControlsEnabled(bool enabled);

/// The main window is being closed. While a format runs the close becomes a
/// stop request and is put off (returns false); the front end closes the
/// window once `CloseDeferredByFormat` says so. Otherwise DeviceHandle is
/// closed and the result is true.
bool MainWindowCloseRequested();

/// True when a close was put off by a run that has now ended; the front end
/// then closes the window again, which goes through MainWindowCloseRequested.
bool CloseDeferredByFormat();

/// Forgets the handle without closing it, and the description (tests).
void ResetMainState();

}  // namespace quarnel
