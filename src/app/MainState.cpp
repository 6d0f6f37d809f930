#include "app/MainState.h"

#include "app/MainStartUp.h"
#include "devices/DeviceTable.h"
#include "format/DriveRun.h"
#include "ui/UiSeam.h"

namespace quarnel {

namespace {

// The one main window's state: the run its format button started, while it
// goes, and what the window keeps of the last one.
struct TMainState {
  TDriveRun* Running = nullptr;
  bool CloseDeferred = false;
  TEraseRecordWriter Writer;
  std::string LastFile;
};

TMainState& State() {
  static TMainState state;
  return state;
}

}  // namespace

void SetMainEraseRecordWriter(TEraseRecordWriter writer) { State().Writer = std::move(writer); }

bool FormatSelectedDevice() {
  TDriveRun run(GetHost(), Ui(), DeviceTable[SelectedDevice], DeviceHandle, DeviceDescription);
  run.SetEraseRecordWriter(State().Writer);
  return FormatFromMainWindow(run);
}

bool FormatFromMainWindow(TDriveRun& run) {
  TMainState& s = State();
  s.Running = &run;
  const bool complete = run.FormatSelectedDevice();
  s.Running = nullptr;
  // A run that got no further than its question leaves the last record's
  // file as it was.
  if (!run.LastEraseRecord().Start.empty()) s.LastFile = run.LastEraseRecordFile();
  return complete;
}

bool FormatInProgress() { return State().Running && State().Running->FormatInProgress(); }

void StopButtonClicked() {
  if (State().Running) State().Running->StopButtonClicked();
}

const std::string& LastEraseRecordFile() { return State().LastFile; }

bool MainWindowCloseRequested() {
  TMainState& s = State();
  if (s.Running) {
    // Closing the handle now would send the engine's next write to a closed
    // handle: stop the run and close when the procedure has finished.
    s.Running->StopButtonClicked();
    s.CloseDeferred = true;
    return false;
  }
  s.CloseDeferred = false;
  CloseSelectedDevice();
  return true;
}

bool CloseDeferredByFormat() { return State().CloseDeferred && !State().Running; }

void ResetMainState() { State() = TMainState{}; }

}  // namespace quarnel
