#include "app/MainState.h"

#include "app/Desktop.h"
#include "devices/DeviceTable.h"
#include "format/FormatEngine.h"
#include "format/FormatProcedure.h"

namespace quarnel {

namespace {
bool closeDeferred = false;
}

bool MainWindowCloseRequested() {
  if (FormatInProgress()) {
    // Closing the handle now would send the engine's next write to a closed
    // handle: stop the run and close when the procedure has finished.
    StopRequested = true;
    closeDeferred = true;
    return false;
  }
  if (SelfTestFollowed()) {
    // The poll between two steps would go to a closed handle: stop the
    // following (the test goes on in the drive) and close after it.
    StopFollowingSelfTest();
    closeDeferred = true;
    return false;
  }
  closeDeferred = false;
  if (DeviceHandle != kInvalidHandle) {
    GetHost().CloseHandle(DeviceHandle);
    DeviceHandle = kInvalidHandle;
  }
  return true;
}

bool CloseDeferredByFormat() { return closeDeferred && !FormatInProgress() && !SelfTestFollowed(); }

void ResetMainState() { closeDeferred = false; }

}  // namespace quarnel
