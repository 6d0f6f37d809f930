#include "app/MainState.h"

namespace quarnel {

THandle DeviceHandle = kInvalidHandle;

void ResetMainState() { DeviceHandle = kInvalidHandle; }

}  // namespace quarnel
