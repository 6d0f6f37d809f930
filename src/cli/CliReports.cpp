// The report commands: pick entry N of the scanned list as the chooser would,
// open it as the main window does, and print the report pane's lines.
#include <charconv>
#include <ostream>

#include "app/MainStartUp.h"
#include "app/MainState.h"
#include "base/Logging.h"
#include "base/NumberTexts.h"
#include "base/Text.h"
#include "cli/CliApp.h"
#include "cli/CliUi.h"
#include "devices/DeviceScan.h"
#include "devices/DeviceTable.h"
#include "devices/DriveChoose.h"
#include "host/Host.h"
#include "reports/DeviceDetails.h"
#include "reports/SmartReport.h"
#include "ui/UiSeam.h"

namespace quarnel {

namespace {

// Entry N of the list, as the chooser accepts it; -1 after saying why not.
int64_t SelectEntry(const std::vector<std::string>& args, std::ostream& err) {
  if (args.size() != 1) {
    err << "quarnel-cli: give the number of one drive of the list\n";
    return -1;
  }
  int64_t n = 0;
  const std::string& text = args[0];
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (ec != std::errc() || end != text.data() + text.size() || n < 1 || n > DeviceCount) {
    err << "quarnel-cli: no drive " << text << " in the list ("
        << (DeviceCount == 0 ? std::string("it is empty") : "1 to " + DecText(DeviceCount))
        << ")\n";
    return -1;
  }
  // The chooser's own rule, with its message.
  if (!AcceptDriveChoice(n - 1)) return -1;
  return n;
}

int RunReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              void (*report)(), const TLogPane& pane) {
  ScanDevices();
  if (ProgramEndRequested()) return ProgramExitCode();
  if (!SelectAndOpen(args, err)) return 1;
  report();
  for (const std::string& line : pane.Lines()) out << TerminalLine(line) << '\n';
  GetHost().CloseHandle(DeviceHandle);
  DeviceHandle = kInvalidHandle;
  return 0;
}

}  // namespace

bool SelectAndOpen(const std::vector<std::string>& args, std::ostream& err) {
  const int64_t n = SelectEntry(args, err);
  if (n < 0) return false;
  SelectedDevice = n;
  DeviceDescription = GetDeviceDescription(DeviceTable, SelectedDevice);
  return OpenSelectedDevice();
}

int CommandDetails(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return RunReport(args, out, err, ShowDeviceDetails, Log_Details);
}

int CommandSmart(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return RunReport(args, out, err, ShowSmartData, Log_Smart);
}

}  // namespace quarnel
