// What the drive chooser shows and decides, apart from its window: the row
// texts of a device-table entry, the refusal of too small drives, and the
// choice that the rest of the run works on.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "devices/DeviceTable.h"

namespace quarnel {

/// Drives with fewer sectors cannot be chosen.
inline constexpr int64_t kMinimumChoosableSectors = 65535;
inline constexpr const char* kTooSmallText =
    "This device cannot be accessed because it is smaller than 65535 sectors.  ";
inline constexpr const char* kTooSmallCaption = "Cannot access this device";

inline constexpr int kDriveListColumns = 6;
using TDriveListRow = std::array<std::string, kDriveListColumns>;

/// The list's column captions.
inline constexpr std::array<const char*, kDriveListColumns> kDriveListCaptions = {
    "总线", "型号", "固件", "序列号", "LBA", "容量"};

/// Set when a choice has been accepted; the chooser's result.
extern bool DeviceChosen;

/// Bus, model (trimmed, then " (volumes)" when it has any), firmware, serial,
/// LBA in plain digits, capacity. The capacity stays empty when LBA × sector
/// size leaves the signed 64-bit range, rather than showing a wrong size.
TDriveListRow DriveListRow(const TDeviceTable& entry);

/// The continue button on list row `row` (0-based). Shows the refusal and
/// returns false for a drive under 65535 sectors; otherwise sets
/// DeviceChosen and SelectedDevice and returns true.
bool AcceptDriveChoice(int64_t row);

/// The chooser is on screen: when the scan was refused drives for want of
/// rights, says once per run, in a message box, how to get them.
void ChooserShown();

/// The row offered when the chooser opens (0-based): the last one, the
/// highest drive number found; -1 for an empty list.
int64_t InitialDriveRow();

/// Esc in the list: the program is told to end; the front end then closes
/// the chooser.
void DriveListEscapePressed();

/// The chooser has closed, however: without a choice the program is told to
/// end.
void ChooserClosed();

/// Clears DeviceChosen (tests).
void ResetDriveChoose();

}  // namespace quarnel
