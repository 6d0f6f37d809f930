// A simulated drive, scanned into the device table, chosen and opened as the
// main window opens it, for the report tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/sim/SimHost.h"

namespace quarnel::test {

/// Hexadecimal text of a block, for "identify_hex" and "smart_hex".
std::string HexText(const std::vector<uint8_t>& bytes);

/// Installs a machine with one drive 0 whose description keys are `keys`
/// (JSON members without braces), scans, selects entry 1 and opens it.
SimHost& OpenReportDrive(const std::string& keys);

/// The pane's lines with the date line (the second) left out.
std::vector<std::string> WithoutDateLine(const std::vector<std::string>& lines);

}  // namespace quarnel::test
