// The format command: pick entry N as the chooser would, open it as the main
// window does, and run the format button's procedure at the terminal.
#include <ostream>

#include "app/MainState.h"
#include "cli/CliApp.h"
#include "cli/CliUi.h"
#include "devices/DeviceScan.h"
#include "format/FormatProcedure.h"
#include "ui/UiSeam.h"

namespace quarnel {

int CommandFormat(const TCliOptions& options, TCliUi& ui, std::ostream& err) {
  ScanDevices();
  if (ProgramEndRequested()) return ProgramExitCode();
  if (!SelectAndOpen(options.Arguments, err)) return 1;
  ui.SetQuickWipe(options.Quick);
  const bool complete = FormatSelectedDevice();
  MainWindowCloseRequested();  // closes the drive: the run is over
  return complete ? 0 : 1;
}

}  // namespace quarnel
