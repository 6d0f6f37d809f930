#include "cli/CliApp.h"

#include <iostream>

#include "app/Logging.h"
#include "app/StartUp.h"
#include "cli/CliUi.h"
#include "devices/DeviceScan.h"
#include "devices/DeviceTable.h"
#include "devices/DriveChoose.h"
#include "frontend/HostChoice.h"
#include "ui/NumberTexts.h"
#include "ui/UiSeam.h"
#include "util/Text.h"

namespace quarnel {

namespace {

const char* const kUsage =
    "Usage: quarnel-cli [options] COMMAND\n"
    "\n"
    "Commands:\n"
    "  list          scan the drives and list them\n"
    "  details N     the device details report of drive N of the list\n"
    "  smart N       the S.M.A.R.T. report of drive N of the list\n"
    "  format N      erase drive N of the list with zeros, after a typed \"yes\"\n"
    "    --quick       only the first 10,240,000 bytes (the partition table and\n"
    "                  the start of the partitions)\n"
    "    --yes         answer the confirmation with yes (for scripts)\n"
    "    --verify      read back what was written; every byte must be zero\n"
    "    --record FILE write the erase record (JSON) to FILE\n"
    "\n"
    "Options:\n"
    "  --simulate[=FILE]  simulated drives: the demo machine, or the one FILE describes\n"
    "  --devices=LIST     only these device nodes, comma-separated, in this order\n"
    "                     (also from the QUARNEL_DEVICES environment variable)\n"
    "  --debug            write the debug log to standard error\n"
    "  --help             this text\n"
    "  --version          the program's name and version\n";

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool SelectHost(const TCliOptions& options, std::ostream& err) {
  std::string error, notice;
  const bool installed = InstallHost(options.Host, &error, &notice);
  if (!notice.empty()) err << "quarnel-cli: " << notice << "\n";
  if (!installed) err << "quarnel-cli: " << error << "\n";
  return installed;
}

}  // namespace

bool ParseCliOptions(const std::vector<std::string>& args, TCliOptions* options,
                     std::string* error) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const std::string lower = Lower(arg);
    if (lower == "--debug") {
      options->Debug = true;
    } else if (arg == "--simulate") {
      options->Host.Simulate = true;
    } else if (arg.rfind("--simulate=", 0) == 0) {
      options->Host.Simulate = true;
      options->Host.SimulateFile = arg.substr(11);
      if (options->Host.SimulateFile.empty()) {
        *error = "--simulate= needs a file name";
        return false;
      }
    } else if (arg.rfind("--devices=", 0) == 0) {
      options->Host.DevicesGiven = true;
      options->Host.Devices = SplitDeviceList(arg.substr(10));
      if (options->Host.Devices.empty()) {
        *error = "--devices= needs at least one device node";
        return false;
      }
    } else if (arg == "--help" || arg == "-h") {
      options->Help = true;
    } else if (arg == "--version") {
      options->Version = true;
    } else if (arg == "--quick") {
      options->Quick = true;
    } else if (arg == "--yes") {
      options->Yes = true;
    } else if (arg == "--verify") {
      options->Verify = true;
    } else if (arg == "--record" || arg.rfind("--record=", 0) == 0) {
      const bool joined = arg != "--record";
      if (!joined && i + 1 == args.size()) {
        *error = "--record needs a file name";
        return false;
      }
      options->RecordFile = joined ? arg.substr(9) : args[++i];
      if (options->RecordFile.empty()) {
        *error = "--record needs a file name";
        return false;
      }
    } else if (arg.rfind("--", 0) == 0) {
      *error = "unknown option " + arg;
      return false;
    } else if (options->Command.empty()) {
      options->Command = arg;
    } else {
      options->Arguments.push_back(arg);
    }
  }
  return true;
}

int CommandList(std::ostream& out, std::ostream&) {
  ScanDevices();
  if (ProgramEndRequested()) return ProgramExitCode();
  for (int64_t i = 1; i <= DeviceCount; ++i) {
    out << i;
    for (const std::string& cell : DriveListRow(DeviceTable[i])) out << '\t' << cell;
    out << '\n';
  }
  out << ChooserStatusText << '\n';
  return 0;
}

int RunCli(const std::string& programFile, const std::vector<std::string>& args, std::ostream& out,
           std::ostream& err, const TCliTerminal& terminal) {
  TCliOptions options;
  std::string error;
  if (!ParseCliOptions(args, &options, &error)) {
    err << "quarnel-cli: " << error << "\n" << kUsage;
    return 2;
  }
  if (options.Help) {
    out << kUsage;
    return 0;
  }
  if (options.Version) {
    out << kProgramTitle << "\n";
    return 0;
  }
  if (options.Command.empty()) {
    err << "quarnel-cli: no command given\n" << kUsage;
    return 2;
  }
  if (options.Command != "list" && options.Command != "details" && options.Command != "smart" &&
      options.Command != "format") {
    err << "quarnel-cli: unknown command " << options.Command << "\n" << kUsage;
    return 2;
  }
  if ((options.Quick || options.Yes || options.Verify || !options.RecordFile.empty()) &&
      options.Command != "format") {
    err << "quarnel-cli: --quick, --yes, --verify and --record belong to the format command\n"
        << kUsage;
    return 2;
  }
  TCliUi ui(out, err, terminal);
  ui.AnswerYes(options.Yes);
  SetUi(&ui);
  Log_BenchMark.SetListener([&ui](const std::string& line) { ui.MainLine(TerminalLine(line)); });
  DebugMemo.SetListener([&ui](const std::string& line) { ui.DebugLine(TerminalLine(line)); });
  int status = 1;
  if (SelectHost(options, err) &&
      RunStartUpChecks(
          options.Debug ? std::vector<std::string>{"--debug"} : std::vector<std::string>{},
          programFile)) {
    if (options.Command == "list") {
      status = CommandList(out, err);
    } else if (options.Command == "details") {
      status = CommandDetails(options.Arguments, out, err);
    } else if (options.Command == "format") {
      status = CommandFormat(options, ui, err);
    } else {
      status = CommandSmart(options.Arguments, out, err);
    }
  } else if (ProgramEndRequested()) {
    status = ProgramExitCode();
  }
  Log_BenchMark.SetListener(nullptr);
  DebugMemo.SetListener(nullptr);
  SetUi(nullptr);
  out.flush();
  return status;
}

}  // namespace quarnel
