// The desktop program once its toolkit has started, the same for every
// toolkit: the regional settings, the host from the command line, the erase
// records, then the windows.
#pragma once

#include <string>
#include <vector>

#include "app/Desktop.h"
#include "frontend/HostChoice.h"

namespace quarnel {

/// `arguments` without the program file, already checked (ParseDesktopOptions),
/// which gave `host`. Returns the exit status: 2 when the host cannot be made
/// (the error is shown first).
int RunDesktopProgram(TWindowFactory& windows, const std::vector<std::string>& arguments,
                      const THostOptions& host, const std::string& programFile,
                      bool station = false);

}  // namespace quarnel
