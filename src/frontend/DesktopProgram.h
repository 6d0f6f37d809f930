// The desktop program once its toolkit has started, the same for every
// toolkit: the regional settings, the host from the command line, the erase
// records, then the windows.
#pragma once

#include <string>
#include <vector>

#include "app/Desktop.h"

namespace quarnel {

/// `arguments` without the program file. Returns the exit status: 2 when the
/// host cannot be made from the arguments (the error is shown first).
int RunDesktopProgram(TWindowFactory& windows, const std::vector<std::string>& arguments,
                      const std::string& programFile);

}  // namespace quarnel
