#include "app/MainState.h"

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
  closeDeferred = false;
  if (DeviceHandle != kInvalidHandle) {
    GetHost().CloseHandle(DeviceHandle);
    DeviceHandle = kInvalidHandle;
  }
  return true;
}

bool CloseDeferredByFormat() { return closeDeferred && !FormatInProgress(); }

void ResetMainState() { closeDeferred = false; }

}  // namespace quarnel
