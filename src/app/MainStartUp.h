// The pieces of the main window's first show and of its buttons that the
// terminal program shares: the titles, the warning lines, the opening of the
// chosen drive, the SMART report with the busy switch.
#pragma once

#include <string>

namespace quarnel {

/// The main window's SMART button: the report and the health verdict after
/// it, with the busy switch off while it reads; returns the verdict.
struct THealthAssessment;
THealthAssessment RunSmartReport();

/// The program title and four blanks.
std::string MainWindowTitle();
/// The title in capitals and four blanks.
std::string ChooserHeaderText();

/// The three warning lines of the main log.
void WriteStartUpWarnings();

/// Opens entry SelectedDevice for reading and writing without sharing into
/// DeviceHandle. On failure shows the fatal error and returns false.
bool OpenSelectedDevice();

/// Closes DeviceHandle, when open, and forgets it: the one way the chosen
/// drive is closed.
void CloseSelectedDevice();

/// Closes the chosen drive when it goes out of scope.
struct TSelectedDeviceCloser {
  TSelectedDeviceCloser() = default;
  TSelectedDeviceCloser(const TSelectedDeviceCloser&) = delete;
  TSelectedDeviceCloser& operator=(const TSelectedDeviceCloser&) = delete;
  ~TSelectedDeviceCloser() { CloseSelectedDevice(); }
};

}  // namespace quarnel
