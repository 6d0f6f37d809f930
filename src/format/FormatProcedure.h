// What the format button does: confirm, write the head of the run, lock the
// drive's volumes, run the engine, refresh the layout, release the volumes
// and switch the controls back on.
#pragma once

namespace quarnel {

/// The format button's procedure. Returns true when the engine ran and
/// reported a run complete with no failed block; false when the user
/// declined, the volumes could not be locked, or the run did not complete.
bool FormatSelectedDevice();

/// True from the confirmation's Yes until the procedure has finished.
bool FormatInProgress();

/// The stop button's handler: raises the stop flag and nothing else.
void StopButtonClicked();

}  // namespace quarnel
