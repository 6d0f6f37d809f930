// The device details report: the chosen drive's IDENTIFY DEVICE data as text
// lines in the details pane.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ata/IdentifyDecode.h"

namespace quarnel {

/// The five lines every report opens with: a blank, the date and time, the
/// title with the maker's address, `label` + `description`, a blank.
std::vector<std::string> ReportHeadingLines(const std::string& label,
                                            const std::string& description);

/// `sectors` × 512 in grouped decimal, exact also where the product leaves
/// the signed 64-bit range.
std::string SectorBytesText(int64_t sectors);

/// The report's lines after a successful IDENTIFY, from the decoded record.
std::vector<std::string> DeviceDetailsLines(const T_IDE_PASSPORT& passport);

/// Appends the details report of entry SelectedDevice, read through
/// DeviceHandle, to Log_Details.
void ShowDeviceDetails();

}  // namespace quarnel
