// The format command: pick entry N as the chooser would, open it as the main
// window does, and run the format button's procedure at the terminal.
#include <filesystem>
#include <ostream>

#include "app/MainState.h"
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
  bool created = false;
  if (!record.empty()) {
    // A record that cannot be kept must stop the erase before it starts.
    std::string error;
    if (!PrepareEraseRecordFile(record, &created, &error)) {
      err << "quarnel-cli: cannot create the erase record " << record << ": " << error
          << ". Nothing was done.\n";
      return 2;
    }
  }
  ScanDevices();
  int status = ProgramEndRequested() ? ProgramExitCode() : 1;
  if (!ProgramEndRequested() && SelectAndOpen(options.Arguments, err)) {
    ui.SetQuickWipe(options.Quick);
    ui.SetVerify(options.Verify);
    if (!record.empty()) WriteEraseRecordsTo(record, options.Host.Simulate);
    status = FormatSelectedDevice() ? 0 : 1;
    SetEraseRecordWriter(nullptr);
    MainWindowCloseRequested();  // closes the drive: the run is over
  }
  std::error_code ec;
  if (created && std::filesystem::file_size(record, ec) == 0 && !ec) {
    std::filesystem::remove(record, ec);  // declined: no run, no record
  }
  return status;
}

}  // namespace quarnel
