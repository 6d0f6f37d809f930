// The S.M.A.R.T. report: the attribute table of the chosen drive's SMART
// data page as fixed-width text lines in the SMART pane.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ata/AtaCommands.h"

namespace quarnel {

/// The display name of an attribute id with its trailing spaces; "未知" and
/// 19 spaces for an id without a name (also ids outside 1..255).
std::string GetSmartAttributeName(int id);

/// Spaces appended (PadRight) or put in front (PadLeft) until the text has at
/// least `width` characters.
std::string PadRight(const std::string& text, size_t width);
std::string PadLeft(const std::string& text, size_t width);

/// The report row of one attribute entry; any 12 bytes give a row.
std::string SmartAttributeRow(const TSmartEntry& entry);

/// The lines after a successful read: header, rule, one row per entry up to
/// the first id 0 (30 at most), and the closing blank line.
std::vector<std::string> SmartTableLines(const TAtaBlock& page);

/// Appends the SMART report of entry SelectedDevice, read through
/// DeviceHandle, to Log_Smart.
void ShowSmartData();

}  // namespace quarnel
