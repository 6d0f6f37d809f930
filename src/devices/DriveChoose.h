// What the drive chooser shows and decides, apart from its window: the row
// texts of a device-table entry, the refusal of too small drives, and the
// choice that the rest of the run works on.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "devices/DeviceTable.h"
#include "ui/Catalogue.h"

namespace quarnel {

/// Drives with fewer sectors cannot be chosen.
inline constexpr int64_t kMinimumChoosableSectors = 65535;
inline constexpr const char* kTooSmallText =
    "This device cannot be accessed because it is smaller than 65535 sectors.  ";
inline constexpr const char* kTooSmallCaption = "Cannot access this device";

using TDriveListRow = std::array<std::string, chooser::kColumns>;

/// Set when a choice has been accepted; the chooser's result.
extern bool DeviceChosen;
/// Set when the chooser's station button was pressed: the station opens
/// instead of the main window.
extern bool StationChosen;

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

/// The chooser window as the core drives it; the toolkit draws and forwards.
class TChooserView {
 public:
  virtual ~TChooserView() = default;
  /// The caption and the header label, set by the start-up.
  virtual void SetTitles(const std::string& caption, const std::string& header) = 0;
  /// The list's rows and the status bar's text.
  virtual void ShowRows(const std::vector<TDriveListRow>& rows, const std::string& status) = 0;
  /// Shows the window modally; returns when it has closed (ChooserClosed
  /// runs then, however it closed).
  virtual void ShowModal() = 0;
  virtual void FocusList() = 0;
  /// Selects row `row` and makes it the focused one.
  virtual void SelectRow(int64_t row) = 0;
  virtual void EnableContinue(bool enabled) = 0;
  /// Closes the window.
  virtual void CloseChooser() = 0;
};

/// Fills the list from the device table, shows the chooser modally and
/// returns DeviceChosen.
bool ChooseDevice(TChooserView& view);

// The chooser's handlers; `selected` is the selected row, -1 for none.
/// On screen: the list has the focus; the last row is offered and continue
/// enabled, or with no rows continue stays disabled.
void ChooserFormShow(TChooserView& view);
/// The selection changed: continue is enabled exactly when a row is selected.
void DriveListClick(TChooserView& view, int64_t selected);
/// A double click acts as continue when a row is selected.
void DriveListDblClick(TChooserView& view, int64_t selected);
/// Continue, by the button or by Enter: only while enabled, and the chooser
/// closes when the drive is accepted.
void btContinueClick(TChooserView& view, int64_t selected);
/// Esc in the list: the program ends, nothing chosen.
void DriveListKeyEscape(TChooserView& view);
/// The station button: the chooser closes and the station opens.
void btStationClick(TChooserView& view);

/// Clears DeviceChosen and StationChosen (tests).
void ResetDriveChoose();

}  // namespace quarnel
