// The report commands: pick entry N of the scanned list as the chooser would,
// open it as the main window does, and print the report pane's lines.
#include <algorithm>
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
#include "devices/DriveWwn.h"
#include "host/Host.h"
#include "reports/DeviceDetails.h"
#include "reports/Health.h"
#include "reports/SmartReport.h"
#include "ui/UiSeam.h"

namespace quarnel {

namespace {

// The WWNs of every drive in the list, asked of each drive once: for a
// wwn: name, and for the list a refusal shows.
class TListWwns {
 public:
  const std::vector<std::string>& Of(int64_t i) {
    if (wwns_.empty()) {
      for (int64_t k = 1; k <= DeviceCount; ++k) {
        wwns_.push_back(ReadDriveWwnsAt(DeviceTable[k].DevicePath, DeviceTable[k].IdentifyData));
      }
    }
    return wwns_[static_cast<size_t>(i - 1)];
  }

 private:
  std::vector<std::vector<std::string>> wwns_;
};

std::string EntryLine(int64_t i, TListWwns& wwns) {
  const TDeviceTable& d = DeviceTable[i];
  std::string line = "  " + DecText(i) + "  " + VisibleText(Trim(d.IdentifyData.Model)) +
                     "  serial " + VisibleText(Trim(d.IdentifyData.SN));
  if (!wwns.Of(i).empty()) line += "  wwn " + wwns.Of(i).front();
  return line + "  " + VisibleText(d.DevicePath) + "\n";
}

std::string EveryEntry(TListWwns& wwns) {
  std::string list;
  for (int64_t i = 1; i <= DeviceCount; ++i) list += EntryLine(i, wwns);
  return list.empty() ? std::string("  (no drive was found)\n") : list;
}

// The entry a drive name picks: a number of the list, serial:SERIAL,
// wwn:WWN or path:DEVICE. 0 when none does, -1 when more than one does.
int64_t FindEntry(const std::string& name, TListWwns& wwns) {
  const auto pick = [](const auto& matches) {
    int64_t found = 0;
    for (int64_t i = 1; i <= DeviceCount; ++i) {
      if (!matches(i)) continue;
      if (found != 0) return int64_t{-1};
      found = i;
    }
    return found;
  };
  if (name.rfind("serial:", 0) == 0) {
    const std::string serial = Trim(name.substr(7));
    if (serial.empty()) return 0;
    return pick([&](int64_t i) { return Trim(DeviceTable[i].IdentifyData.SN) == serial; });
  }
  if (name.rfind("wwn:", 0) == 0) {
    // A drive without a WWN never matches, nor does a name that is no WWN.
    const std::string wwn = NormalWwn(name.substr(4));
    if (wwn.empty()) return 0;
    return pick([&](int64_t i) {
      const std::vector<std::string>& names = wwns.Of(i);
      return std::find(names.begin(), names.end(), wwn) != names.end();
    });
  }
  if (name.rfind("path:", 0) == 0) {
    const std::string path = name.substr(5);
    return pick([&](int64_t i) { return !path.empty() && DeviceTable[i].DevicePath == path; });
  }
  int64_t n = 0;
  const auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), n);
  if (ec != std::errc() || end != name.data() + name.size() || n < 1 || n > DeviceCount) return 0;
  return n;
}

}  // namespace

int64_t SelectEntry(const std::string& name, std::ostream& err) {
  TListWwns wwns;
  const int64_t n = FindEntry(name, wwns);
  if (n <= 0) {
    err << "quarnel-cli: " << (n == 0 ? "no drive " : "more than one drive is ")
        << VisibleText(name) << (n == 0 ? " in the list" : "") << "; these were found:\n"
        << EveryEntry(wwns);
    return -1;
  }
  // The chooser's own rule, with its message.
  if (!AcceptDriveChoice(n - 1)) return -1;
  return n;
}

namespace {

int RunReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              void (*report)(), const TLogPane& pane) {
  ScanDevices();
  if (ProgramEndRequested()) return ProgramExitCode();
  if (!SelectAndOpen(args, err)) return 1;
  const TSelectedDeviceCloser closer;
  report();
  for (const std::string& line : pane.Lines()) out << TerminalLine(line) << '\n';
  return 0;
}

}  // namespace

bool SelectAndOpen(const std::vector<std::string>& args, std::ostream& err) {
  if (args.size() != 1) return false;  // the command line was checked before
  const int64_t n = SelectEntry(args[0], err);
  if (n < 0) return false;
  SelectedDevice = n;
  DeviceDescription = GetDeviceDescription(DeviceTable, SelectedDevice);
  return OpenSelectedDevice();
}

int CommandDetails(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return RunReport(args, out, err, ShowDeviceDetails, Log_Details);
}

int CommandSmart(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return RunReport(
      args, out, err, [] { ShowSmartDataWithHealth(); }, Log_Smart);
}

}  // namespace quarnel
