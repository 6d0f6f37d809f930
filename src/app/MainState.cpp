#include "app/MainState.h"

#include "app/Desktop.h"
#include "app/MainStartUp.h"
#include "devices/DeviceTable.h"
#include "erase/DriveRun.h"
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
  TEraseRecord LastRecord;
};

TMainState& State() {
  static TMainState state;
  return state;
}

}  // namespace

void SetMainEraseRecordWriter(TEraseRecordWriter writer) { State().Writer = std::move(writer); }

bool MainEraseRecordWanted() { return static_cast<bool>(State().Writer); }

bool FormatSelectedDevice(const TEraseContext& context) {
  TDriveRun run(GetHost(), Ui(), DeviceTable[SelectedDevice], DeviceHandle, DeviceDescription);
  run.SetEraseRecordWriter(State().Writer);
  run.SetEraseRecordContext(context);
  return FormatFromMainWindow(run);
}

bool FormatFromMainWindow(TDriveRun& run) {
  TMainState& s = State();
  s.Running = &run;
  const bool complete = run.FormatSelectedDevice();
  s.Running = nullptr;
  // A run that got no further than its question leaves the last record's
  // file as it was.
  if (!run.LastEraseRecord().Start.empty()) {
    s.LastFile = run.LastEraseRecordFile();
    s.LastRecord = run.LastEraseRecord();
  }
  return complete;
}

bool FormatInProgress() { return State().Running && State().Running->FormatInProgress(); }

void StopButtonClicked() {
  if (State().Running) State().Running->StopButtonClicked();
}

const std::string& LastEraseRecordFile() { return State().LastFile; }

const TEraseRecord& MainLastEraseRecord() { return State().LastRecord; }

bool MainWindowCloseRequested() {
  TMainState& s = State();
  if (s.Running) {
    // Closing the handle now would send the engine's next write to a closed
    // handle: stop the run and close when the procedure has finished.
    s.Running->StopButtonClicked();
    s.CloseDeferred = true;
    return false;
  }
  if (SelfTestFollowed()) {
    // The poll between two steps would go to a closed handle: stop the
    // following (the test goes on in the drive) and close after it.
    StopFollowingSelfTest();
    s.CloseDeferred = true;
    return false;
  }
  s.CloseDeferred = false;
  CloseSelectedDevice();
  return true;
}

bool CloseDeferredByFormat() {
  return State().CloseDeferred && !State().Running && !SelfTestFollowed();
}

void ResetMainState() { State() = TMainState{}; }

}  // namespace quarnel
