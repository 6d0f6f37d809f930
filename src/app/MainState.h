// The close of the main window, which must not pull the drive away from a
// running format.
#pragma once

namespace quarnel {

/// The main window is being closed. While a format runs the close becomes a
/// stop request and is put off (returns false), as it is while a self-test
/// is followed; the front end closes the
/// window once `CloseDeferredByFormat` says so. Otherwise DeviceHandle is
/// closed and the result is true.
bool MainWindowCloseRequested();

/// True when a close was put off by a run that has now ended; the front end
/// then closes the window again, which goes through MainWindowCloseRequested.
bool CloseDeferredByFormat();

/// Forgets a put-off close (tests).
void ResetMainState();

}  // namespace quarnel
