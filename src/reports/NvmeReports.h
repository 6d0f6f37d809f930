// The details and health reports of an NVMe drive, as lines built from the
// decoded Identify and SMART / Health Information blocks.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/Host.h"
#include "nvme/NvmeDecode.h"

namespace quarnel {

/// Bytes of `units` health-log data units (512,000 bytes each), as SizeToStr
/// writes them; exact also past the 64-bit range.
std::string DataUnitsSizeText(const TUInt128& units);

/// The details lines after the heading: identity, controller, the drive's
/// namespace (left out when its Identify was refused) and optional features.
std::vector<std::string> NvmeDetailsLines(const TNvmeController& controller,
                                          const std::optional<TNvmeNamespace>& ns);

/// The line of critical warning bit 0..5 of the health log ("" for others).
std::string NvmeCriticalWarningText(int bit);

/// The health lines after the heading, one field a line, values aligned, and
/// the closing blank line.
std::vector<std::string> NvmeHealthLines(const TNvmeHealth& health);

/// The details report's lines after the heading, asked of the drive: a drive
/// that refuses Identify Controller gets the line saying details are unavailable.
std::vector<std::string> NvmeDetailsReport(THandle handle);

/// The health report's lines after the heading, asked of the drive: a drive
/// that refuses the log gets the line saying it has no SMART.
std::vector<std::string> NvmeHealthReport(THandle handle);

}  // namespace quarnel
