// The format command: pick entry N as the chooser would, open it as the main
// window does, and run the format button's procedure at the terminal.
#include <memory>
#include <ostream>

#include "app/MainState.h"
#include "base/NumberTexts.h"
#include "base/System.h"
#include "cli/CliApp.h"
#include "cli/CliUi.h"
#include "devices/DeviceScan.h"
#include "format/EraseRecord.h"
#include "format/FormatProcedure.h"
#include "record/EraseRecordFile.h"
#include "ui/UiSeam.h"

namespace quarnel {

int CommandFormat(const TCliOptions& options, TCliUi& ui, std::ostream& err) {
  const std::string& record = options.RecordFile;
  auto file = std::make_shared<TKeptFile>();
  if (!record.empty()) {
    // Opened once, before the run, and kept to its end: a record that cannot
    // be kept stops the erase before it starts, and a record on the drive
    // being erased keeps its volume from being locked.
    std::string error;
    if (!file->Open(record, options.Force, &error)) {
      err << "quarnel-cli: cannot create the erase record " << record << ": " << error
          << (file->Existed() && !options.Force ? " (--force replaces it)" : "")
          << ". Nothing was done.\n";
      return 2;
    }
  }
  ScanDevices();
  int status = ProgramEndRequested() ? ProgramExitCode() : 1;
  if (!ProgramEndRequested() && SelectAndOpen(options.Arguments, err)) {
    ui.SetQuickWipe(options.Quick);
    ui.SetVerify(options.Verify);
    if (!record.empty()) WriteEraseRecordsTo(file, record, options.Host.Simulate);
    status = FormatSelectedDevice() ? 0 : 1;
    const TEraseRecord& done = LastEraseRecord();
    if (status == 0 && std::string(SectorCoverage(done)) == "visible-sectors-only") {
      // The run did what was asked, but the drive keeps sectors it never saw.
      ui.MainLine("visible-sectors-only: " + IntToStrGrouped(done.HiddenArea.HiddenSectors()) +
                  " hidden sectors (HPA/DCO) were not erased");
      status = kExitVisibleSectorsOnly;
    }
    SetEraseRecordWriter(nullptr);
    MainWindowCloseRequested();  // closes the drive: the run is over
  }
  file->Discard();  // declined: no run, no record (a file that was there stays)
  return status;
}

}  // namespace quarnel
