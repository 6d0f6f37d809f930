// The simulated machine of a test and the log texts, shared by the
// GoogleTest and the desktop test binaries of both toolkits.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/sim/SimHost.h"

namespace quarnel::test {

/// Forgets every process-wide state and installs a SimHost from `json`
/// (paths relative to the test data folder); a bad text ends the test
/// program with the loader's message.
SimHost& UseSimHost(const std::string& json);

/// One simulated drive: `sectors` of 512 bytes, product "Disk<n>" with two
/// trailing blanks, revision " R1 ", serial "SN<n>"; the captured identity
/// of a SATA disk when `ata`; `extra` keys appended.
std::string SimDrive(int number, int64_t sectors, bool ata = true, const std::string& extra = "");

/// A 64-bit NT machine of the given drives and host major version.
std::string SimMachine(const std::vector<std::string>& drives, int major = 6);

/// The debug lines (after the window's first) and the main-log lines
/// without their timestamps.
std::vector<std::string> DebugTexts();
std::vector<std::string> MainLogTexts();

}  // namespace quarnel::test
