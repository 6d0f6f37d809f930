// The simulated machine of a test, shared by the GoogleTest and the desktop
// test binaries.
#pragma once

#include <string>

#include "host/sim/SimHost.h"

namespace quarnel::test {

/// Forgets every process-wide state and installs a SimHost from `json`
/// (paths relative to the test data folder); a bad text ends the test
/// program with the loader's message.
SimHost& UseSimHost(const std::string& json);

}  // namespace quarnel::test
