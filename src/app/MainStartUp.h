// The main window's first show: the start-up up to the scan, the titles, the
// warning lines, the debug window, the chooser, the opening of the chosen
// drive and its details report. The windows are reached through
// TStartUpWindows, so the order is the same for every front end.
#pragma once

#include <string>
#include <vector>

#include "agreement/LicenseAgreement.h"

namespace quarnel {

/// The windows of a front end, created hidden by CreateWindows.
class TWindowCreation {
 public:
  virtual ~TWindowCreation() = default;
  virtual void CreateMainWindow() = 0;
  virtual void CreateChooser() = 0;
  /// Creates the agreement window and returns it for RunAgreement.
  virtual TAgreementView& CreateAgreement() = 0;
  virtual void CreateDebugWindow() = 0;
};

/// Creates the windows in their order: the main window (closing it ends the
/// program), the chooser, the agreement, shown at once unless this user has
/// accepted this version, and the debug window.
void CreateWindows(TWindowCreation& windows);

/// The main window's SMART button: the report, with the busy switch off
/// while it reads.
void RunSmartReport();

/// What the first show asks of the windows.
class TStartUpWindows {
 public:
  virtual ~TStartUpWindows() = default;
  /// Debug mode has just been switched on: the debug window, not modal.
  virtual void ShowDebugWindow() = 0;
  /// The main window's caption, the application's title and the first
  /// status panel; the chooser's caption and header label.
  virtual void SetTitles(const std::string& mainTitle, const std::string& chooserCaption,
                         const std::string& chooserHeader) = 0;
  /// The debug window again, modal; returns when the user has closed it.
  virtual void ShowDebugWindowModal() = 0;
  /// The chooser, modal; true when a drive was chosen.
  virtual bool ChooseDevice() = 0;
  /// The header label of the main window.
  virtual void ShowDiskName(const std::string& description) = 0;
  /// The second status panel.
  virtual void ShowStatusDescription(const std::string& description) = 0;
};

/// the program title and four blanks.
std::string MainWindowTitle();
/// The title in capitals and four blanks.
std::string ChooserHeaderText();

/// The three warning lines of the main log.
void WriteStartUpWarnings();

/// Opens entry SelectedDevice for reading and writing without sharing into
/// DeviceHandle. On failure shows the fatal error and returns false.
bool OpenSelectedDevice();

/// The whole first show. Returns true when a drive is open and its details
/// are written; false when the program is to end (the end is requested).
bool RunMainWindowFirstShow(TStartUpWindows& windows, const std::vector<std::string>& arguments,
                            const std::string& programFile);

}  // namespace quarnel
