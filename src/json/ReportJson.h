// The terminal program's documents for scripts: the drive list, a drive's
// details and its S.M.A.R.T. data as JSON, made from the same data as the
// texts (docs/cli-json.md has every field).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "devices/DeviceTable.h"
#include "reports/DeviceDetails.h"
#include "reports/SmartReport.h"

namespace quarnel {

/// A drive of the list as the documents name it.
struct TJsonDrive {
  int64_t Number = 0;  // its place in the list, from 1
  const TDeviceTable* Entry = nullptr;
  std::vector<std::string> Wwns;     // ReadDriveWwns; the first is its "wwn"
  std::vector<std::string> Volumes;  // DeviceVolumeRoots
};

/// Each document as indented JSON text with a closing line end. Texts from a
/// drive are shown as the terminal shows them (VisibleText), so the text is
/// always valid UTF-8 without control characters.
std::string DriveListJson(const std::vector<TJsonDrive>& drives, const std::string& status);
std::string DetailsJson(const TJsonDrive& drive, const TDetailsFacts& facts);
std::string SmartJson(const TJsonDrive& drive, const TSmartFacts& facts);

}  // namespace quarnel
