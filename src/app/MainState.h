// The main window's side of a run: its format button makes a run over the
// chosen drive, its stop button and its close reach that run, and the
// certificate button takes the record the last one left.
#pragma once

#include <string>

#include "erase/EraseRecord.h"

namespace quarnel {

/// Where the main window's runs leave their records (the program's start
/// gives the user's data folder); without one no record is kept.
void SetMainEraseRecordWriter(TEraseRecordWriter writer);
/// A writer is set: the runs keep records.
bool MainEraseRecordWanted();

/// The format button: one run over entry SelectedDevice through
/// DeviceHandle, as the run's FormatSelectedDevice does it. True for a
/// complete run.
bool FormatSelectedDevice(const TEraseContext& context = {});
/// The same with a run made beforehand (tests bring theirs): while it goes,
/// the stop button and the window's close reach it.
class TDriveRun;
bool FormatFromMainWindow(TDriveRun& run);

/// True from the format button's press until its run has finished.
bool FormatInProgress();

/// The stop button's handler: asks the running run to stop, and nothing
/// else.
void StopButtonClicked();

/// The file the main window's last run left its record in; empty when none.
const std::string& LastEraseRecordFile();
/// The record of the main window's last run (Start empty before any).
const TEraseRecord& MainLastEraseRecord();

/// The main window is being closed. While a format runs the close becomes a
/// stop request and is put off (returns false), as it is while a self-test
/// is followed; the front end closes the
/// window once `CloseDeferredByFormat` says so. Otherwise DeviceHandle is
/// closed and the result is true.
bool MainWindowCloseRequested();

/// True when a close was put off by a run that has now ended; the front end
/// then closes the window again, which goes through MainWindowCloseRequested.
bool CloseDeferredByFormat();

/// Forgets a put-off close, the writer and the last record (tests).
void ResetMainState();

}  // namespace quarnel
