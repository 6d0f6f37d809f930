#include "cli/CliApp.h"

#include <algorithm>
#include <iostream>
#include <vector>

#include "app/StartUp.h"
#include "base/Logging.h"
#include "base/NumberTexts.h"
#include "base/Text.h"
#include "cli/CliBatch.h"
#include "cli/CliUi.h"
#include "devices/DeviceScan.h"
#include "devices/DeviceTable.h"
#include "devices/DriveChoose.h"
#include "frontend/HostChoice.h"
#include "ui/UiSeam.h"

namespace quarnel {

namespace {

const char* const kUsage =
    "Usage: quarnel-cli [options] COMMAND\n"
    "\n"
    "Commands:\n"
    "  list          scan the drives and list them, numbered from 1\n"
    "  details DRIVE the device details report of the drive\n"
    "  smart DRIVE   the S.M.A.R.T. report of the drive, its health and self-tests\n"
    "  selftest DRIVE short|extended|conveyance|abort  the drive's own self-test:\n"
    "                start it and wait for its end (Ctrl+C ends the wait, not the\n"
    "                test), or stop the one that runs\n"
    "  format DRIVE...  erase the drives with zeros, after a typed \"yes\"; several\n"
    "                drives run side by side, each in a process of its own\n"
    "    --quick       only the first 10,240,000 bytes (the partition table and\n"
    "                  the start of the partitions)\n"
    "    --yes         answer the confirmation with yes (for scripts)\n"
    "    --verify      read back what was written; every byte must be zero\n"
    "    --record FILE write the erase record (JSON) to FILE, a new file\n"
    "    --force       let --record replace an existing regular file\n"
    "    --firmware[=METHOD]  the drive's own erase instead of the zero fill:\n"
    "                  block, crypto, format-user, format-crypto or overwrite;\n"
    "                  without METHOD the first of these the drive offers\n"
    "    --sign KEY    sign the record with this Ed25519 private key (PEM, PKCS#8)\n"
    "    --record-dir DIR  a record per drive in DIR, named quarnel-erase-SERIAL-TIME.json\n"
    "    --jobs N      at most N drives at once (default: all)\n"
    "    --stop-below MB/S  stop a drive writing slower than this, after its first minute\n"
    "    --stop-above C  stop a drive that reports a temperature above C degrees Celsius\n"
    "    --json        the end table and each drive's record as one JSON document\n"
    "    --operator NAME, --organisation NAME, --location PLACE  who erased the\n"
    "                  drives, for whom and where: in each record and certificate\n"
    "    --asset-tag TAG  the asset's number (one drive), or serial:SERIAL=TAG for\n"
    "                  the drive with that serial (several drives; may repeat)\n"
    "  watch         erase each drive attached from now on, after a typed \"yes\" to\n"
    "                the policy; drives already attached are never touched. Takes\n"
    "                the format options (--record-dir DIR is needed) and:\n"
    "    --count N     end once N drives have finished (default: at Ctrl+C)\n"
    "    --bus BUS     only new drives on this bus: usb, sata, ata, nvme, scsi, sas,\n"
    "                  sd, mmc, virtual, loop, ...\n"
    "                  (--devices=LIST takes only those nodes, which may be missing yet)\n"
    "  record check FILE...   check the seals of erase records: intact or altered\n"
    "    --key PUBFILE the records must be signed with this Ed25519 public key (PEM)\n"
    "  record certificate FILE  the certificate of an intact record, as one HTML page\n"
    "    --out FILE    write it to FILE (a new file; --force replaces one) instead of\n"
    "                  standard output\n"
    "\n"
    "DRIVE is its number in the list, serial:SERIAL, wwn:WWN (the world wide name\n"
    "the drive reports, hexadecimal) or path:DEVICE.\n"
    "\n"
    "Options:\n"
    "  --simulate[=FILE]  simulated drives: the demo machine, or the one FILE describes\n"
    "  --devices=LIST     only these device nodes, comma-separated, in this order\n"
    "                     (also from the QUARNEL_DEVICES environment variable)\n"
    "  --json             list, details, smart: one JSON document on standard output\n"
    "                     instead of the text (docs/cli-json.md)\n"
    "  --debug            write the debug log to standard error\n"
    "  --help             this text\n"
    "  --version          the program's name and version\n";

bool SelectHost(const TCliOptions& options, std::ostream& err) {
  std::string error, notice;
  const bool installed = InstallHost(options.Host, &error, &notice);
  if (!notice.empty()) err << "quarnel-cli: " << notice << "\n";
  if (!installed) err << "quarnel-cli: " << error << "\n";
  return installed;
}

}  // namespace

int CommandList(std::ostream& out, std::ostream&, bool aligned) {
  ScanDevices();
  if (ProgramEndRequested()) return ProgramExitCode();
  std::vector<std::vector<std::string>> rows = {
      {"#", "bus", "model (volumes)", "firmware", "serial", "sectors", "capacity", "path"}};
  for (int64_t i = 1; i <= DeviceCount; ++i) {
    std::vector<std::string> row = {DecText(i)};
    for (const std::string& cell : DriveListRow(DeviceTable[i])) row.push_back(cell);
    row.push_back(VisibleText(DeviceTable[i].DevicePath));
    rows.push_back(std::move(row));
  }
  for (const std::string& line : ColumnLines(rows, aligned)) out << line << '\n';
  out << ChooserStatusText << '\n';
  return 0;
}

int RunCli(const std::string& programFile, const std::vector<std::string>& args, std::ostream& out,
           std::ostream& err, const TCliTerminal& terminal) {
  TCliOptions options;
  std::string error;
  if (!ParseCliOptions(args, &options, &error)) {
    err << "quarnel-cli: " << error << "\n" << kUsage;
    return kExitUsage;
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
    return kExitUsage;
  }
  const std::string& command = options.Command;
  if (command != "list" && command != "details" && command != "smart" && command != "format" &&
      command != "record" && command != "selftest" && command != "watch") {
    err << "quarnel-cli: unknown command " << command << "\n" << kUsage;
    return kExitUsage;
  }
  const size_t given = options.Arguments.size();
  if ((command == "list" || command == "watch") && given != 0) {
    err << "quarnel-cli: " << command << " takes no arguments\n" << kUsage;
    return kExitUsage;
  }
  if (command == "selftest") {
    const bool kind =
        given == 2 && (options.Arguments[1] == "short" || options.Arguments[1] == "extended" ||
                       options.Arguments[1] == "conveyance" || options.Arguments[1] == "abort");
    if (!kind) {
      err << "quarnel-cli: selftest needs a drive and short, extended, conveyance or abort\n"
          << kUsage;
      return kExitUsage;
    }
  } else if (command == "format" && !options.BatchMember.empty()) {
    // A batch's member: its order names its drive.
    if (given != 0) {
      err << "quarnel-cli: --batch-member names its drive itself\n" << kUsage;
      return kExitUsage;
    }
  } else if (command != "list" && command != "record" && command != "watch" &&
             (given == 0 || (given > 1 && command != "format"))) {
    err << "quarnel-cli: " << options.Command
        << (given == 0
                ? " needs a drive: its number in the list, serial:SERIAL, wwn:WWN or path:DEVICE\n"
                : " takes one drive\n")
        << kUsage;
    return kExitUsage;
  }
  if ((options.Quick || options.Yes || options.Verify || !options.RecordFile.empty() ||
       !options.SignKeyFile.empty() || !options.Firmware.empty() || !options.RecordDir.empty() ||
       options.Jobs > 0 || options.StopBelowMBps > 0 || options.StopAboveCelsius > 0 ||
       !options.BatchMember.empty()) &&
      command != "format" && (command != "watch" || !options.BatchMember.empty())) {
    err << "quarnel-cli: --quick, --yes, --verify, --record, --record-dir, --sign, --firmware, "
           "--jobs, --stop-below and --stop-above belong to the format and watch commands\n"
        << kUsage;
    return kExitUsage;
  }
  if ((options.Count > 0 || !options.Bus.empty()) && command != "watch") {
    err << "quarnel-cli: --count and --bus belong to the watch command\n" << kUsage;
    return kExitUsage;
  }
  if (command == "watch" && (options.RecordDir.empty() || !options.RecordFile.empty())) {
    err << "quarnel-cli: watch writes a record per drive: it needs --record-dir DIR (not "
           "--record)\n"
        << kUsage;
    return kExitUsage;
  }
  if (!options.RecordFile.empty() && !options.RecordDir.empty()) {
    err << "quarnel-cli: give --record FILE or --record-dir DIR, not both\n" << kUsage;
    return kExitUsage;
  }
  if (options.Json && (command == "record" || command == "selftest")) {
    err << "quarnel-cli: --json belongs to the list, details, smart and format commands\n"
        << kUsage;
    return kExitUsage;
  }
  // The terminal names drives by their place in its list, in its reports and
  // log lines too: one numbering for everything it prints and takes.
  NumberDrivesByListPlace = true;
  // A rack holds more drives than the desktop's list of fifteen.
  DeviceTable.Widen(kAllDriveNumbers + 1);
  MaxScannedDevices = kAllDriveNumbers;
  if (!options.Firmware.empty() && (options.Quick || options.Verify)) {
    // The drive's own erase covers the whole drive and is checked by its sample.
    err << "quarnel-cli: --quick and --verify belong to the zero fill, not to --firmware\n";
    return kExitUsage;
  }
  if ((!options.PublicKeyFile.empty() || !options.OutFile.empty()) && command != "record") {
    err << "quarnel-cli: --key and --out belong to the record command\n" << kUsage;
    return kExitUsage;
  }
  if ((!options.Operator.empty() || !options.Organisation.empty() || !options.Location.empty() ||
       !options.AssetTags.empty()) &&
      command != "format" && command != "watch") {
    err << "quarnel-cli: --operator, --organisation, --location and --asset-tag belong to the "
           "format command\n"
        << kUsage;
    return kExitUsage;
  }
  for (const std::string& tag : options.AssetTags) {
    if (tag.rfind("serial:", 0) == 0) {
      const size_t equals = tag.find('=');
      if (equals == std::string::npos || equals == 7 || equals + 1 == tag.size()) {
        err << "quarnel-cli: --asset-tag " << VisibleText(tag) << " is not serial:SERIAL=TAG\n";
        return kExitUsage;
      }
    } else if (options.Arguments.size() > 1 || options.AssetTags.size() > 1 ||
               command == "watch") {
      // Several drives or several tags: each tag must say whose it is.
      err << "quarnel-cli: --asset-tag " << VisibleText(tag) << " names no drive; with several "
          << (options.Arguments.size() > 1 || command == "watch" ? "drives" : "tags")
          << " give serial:SERIAL=TAG\n";
      return kExitUsage;
    }
  }
  if (options.Force && command != "format" && command != "record") {
    err << "quarnel-cli: --force belongs to the format and record commands\n" << kUsage;
    return kExitUsage;
  }
  if (!options.SignKeyFile.empty() && options.RecordFile.empty() && options.RecordDir.empty()) {
    err << "quarnel-cli: --sign signs the erase record: it needs --record or --record-dir\n"
        << kUsage;
    return kExitUsage;
  }
  // Records are checked without a host: no drive is looked at.
  if (command == "record") return CommandRecord(options, out, err);
  // With --json the document is all that goes to standard output.
  TCliUi ui(options.Json ? err : out, err, terminal);
  ui.AnswerYes(options.Yes);
  SetUi(&ui);
  Log_BenchMark.SetListener([&ui](const std::string& line) { ui.MainLine(TerminalLine(line)); });
  DebugMemo.SetListener([&ui](const std::string& line) { ui.DebugLine(TerminalLine(line)); });
  int status = 1;
  TCliOptions hosted = options;
  // A watch waits for the nodes it was given: they need not be there yet.
  hosted.Host.DevicesMayBeAbsent = command == "watch";
  if (SelectHost(hosted, err) &&
      RunStartUpChecks(
          options.Debug ? std::vector<std::string>{"--debug"} : std::vector<std::string>{},
          programFile)) {
    if (options.Command == "list") {
      status =
          options.Json ? CommandListJson(out, err) : CommandList(out, err, terminal.OutIsTerminal);
    } else if (options.Command == "details") {
      status = options.Json ? CommandDetailsJson(options.Arguments, out, err)
                            : CommandDetails(options.Arguments, out, err);
    } else if (options.Command == "format") {
      status = CommandFormat(options, ui, out, err);
    } else if (options.Command == "watch") {
      status = CommandWatch(options, ui, out, err);
    } else if (options.Command == "selftest") {
      status = CommandSelfTest(options.Arguments, ui, out, err);
    } else if (options.Json) {
      status = CommandSmartJson(options.Arguments, out, err);
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
