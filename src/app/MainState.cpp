#include "app/MainState.h"

#include "format/FormatEngine.h"
#include "format/FormatProcedure.h"
#include "ui/UiSeam.h"

namespace quarnel {

THandle DeviceHandle = kInvalidHandle;
std::string DeviceDescription;

namespace {
bool closeDeferred = false;
}

void SetControlsEnabled(bool enabled) {
  Ui().SetControlEnabled(TFormatControl::btRunBenchmarks, enabled);
  Ui().SetControlEnabled(TFormatControl::btGetSmart, enabled);
  Ui().SetControlEnabled(TFormatControl::cbQuickWipe, enabled);
  Ui().SetControlEnabled(TFormatControl::cbVerify, enabled);
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

void ResetMainState() {
  DeviceHandle = kInvalidHandle;
  DeviceDescription.clear();
  closeDeferred = false;
}

}  // namespace quarnel
