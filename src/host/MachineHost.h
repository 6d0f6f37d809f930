// The host of the machine the program runs on.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/Host.h"

namespace quarnel {

/// The real machine's host. `devices` restricts the drives to those nodes, in
/// that order (empty: every drive). Returns nullptr and sets *error when a
/// listed device cannot be used. `notice` receives warnings worth showing.
std::unique_ptr<Host> CreateMachineHost(const std::vector<std::string>& devices, std::string* error,
                                        std::string* notice);

}  // namespace quarnel
