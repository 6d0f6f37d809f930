// The start-up steps shared by both front ends, up to and including the scan.
#pragma once

#include <string>
#include <vector>

#include "base/ProgramInfo.h"

namespace quarnel {

/// The folder of the program file with a trailing separator.
std::string ProgramFolder(const std::string& programFile);

/// "Platform: major.minor.build   service pack  (64 bit)" or "  (32 bit)".
std::string PlatformLine();

/// Debug mode, program path, platform line, the NT-family test, the pause,
/// the version line and the setup-library test. Returns false after showing
/// the error when the platform is not of the NT family or the setup library
/// is missing (the program then ends).
bool RunStartUpChecks(const std::vector<std::string>& arguments, const std::string& programFile);

/// Forgets the process-wide state of every core unit (tests).
void ResetProcessState();

}  // namespace quarnel
