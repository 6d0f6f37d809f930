// The report commands with --json: the same drives and the same data as the
// texts, written as one JSON document on standard output.
#include <ostream>
#include <utility>

#include "app/MainStartUp.h"
#include "cli/CliApp.h"
#include "devices/DeviceScan.h"
#include "devices/DeviceTable.h"
#include "devices/DriveWwn.h"
#include "host/Host.h"
#include "json/ReportJson.h"
#include "reports/DeviceDetails.h"
#include "reports/SmartReport.h"
#include "ui/UiSeam.h"

namespace quarnel {

namespace {

TJsonDrive JsonDrive(int64_t i, std::vector<std::string> wwns) {
  const TDeviceTable& entry = DeviceTable[i];
  return {i, &entry, std::move(wwns), DeviceVolumeRoots(entry.DeviceNumber)};
}

// Picks and opens the drive as the text reports do, and writes the document
// `make` makes from it through the open handle (the drive is held without
// sharing: every question goes through that handle).
template <typename Make>
int RunJsonReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                  const Make& make) {
  ScanDevices();
  if (ProgramEndRequested()) return ProgramExitCode();
  if (!SelectAndOpen(args, err)) return 1;
  const TSelectedDeviceCloser closer;
  const TIdentifyDeviceData& id = DeviceTable[SelectedDevice].IdentifyData;
  const TJsonDrive drive = JsonDrive(SelectedDevice, ReadDriveWwns(DeviceHandle, id));
  out << make(drive, id);
  return 0;
}

}  // namespace

int CommandListJson(std::ostream& out, std::ostream&) {
  ScanDevices();
  if (ProgramEndRequested()) return ProgramExitCode();
  std::vector<TJsonDrive> drives;
  for (int64_t i = 1; i <= DeviceCount; ++i) {
    drives.push_back(
        JsonDrive(i, ReadDriveWwnsAt(DeviceTable[i].DevicePath, DeviceTable[i].IdentifyData)));
  }
  out << DriveListJson(drives, ChooserStatusText);
  return 0;
}

int CommandDetailsJson(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return RunJsonReport(args, out, err, [](const TJsonDrive& drive, const TIdentifyDeviceData& id) {
    return DetailsJson(drive, ReadDetailsFacts(DeviceHandle, id));
  });
}

int CommandSmartJson(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return RunJsonReport(args, out, err, [](const TJsonDrive& drive, const TIdentifyDeviceData& id) {
    return SmartJson(drive, ReadSmartFacts(DeviceHandle, id, true));
  });
}

}  // namespace quarnel
