// The device details report: the chosen drive's IDENTIFY DEVICE data as text
// lines in the details pane.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ata/AtaCommands.h"
#include "ata/HiddenArea.h"
#include "ata/IdentifyDecode.h"
#include "devices/DriveErasure.h"
#include "nvme/NvmeDecode.h"

namespace quarnel {

/// The five lines every report opens with: a blank, the date and time, the
/// title with the maker's address, `label` + `description`, a blank.
std::vector<std::string> ReportHeadingLines(const std::string& label,
                                            const std::string& description);

/// `sectors` × 512 in grouped decimal, exact also where the product leaves
/// the signed 64-bit range.
std::string SectorBytesText(int64_t sectors);

/// The report's lines after a successful IDENTIFY, from the decoded record.
std::vector<std::string> DeviceDetailsLines(const T_IDE_PASSPORT& passport);

/// What the details report tells, read from the drive before a line is
/// written: the report's lines and the terminal's JSON are both made from it.
struct TDetailsFacts {
  bool Nvme = false;
  // Any other drive: its IDENTIFY DEVICE block, when it answered.
  bool IdentifyRead = false;
  bool IdentifyFailed = false;  // an ATA drive refused it twice: our failure, not the drive's
  std::array<uint8_t, kAtaBlockSize> Identify{};
  T_IDE_PASSPORT Passport;
  // NVMe: Identify Controller, and the namespace's where it answered.
  std::optional<TNvmeController> Controller;
  std::optional<TNvmeNamespace> Namespace;
  // The drive's own erase: NVMe always, others only after IDENTIFY answered.
  std::optional<TFirmwareCaps> FirmwareCaps;
  // Drives that may hide sectors (HiddenAreasPossible).
  std::optional<THiddenAreaQuery> HiddenArea;
};

/// Asks the drive behind `handle` (the table entry `id`) what the report needs.
TDetailsFacts ReadDetailsFacts(THandle handle, const TIdentifyDeviceData& id);

/// The report's lines after the heading.
std::vector<std::string> DetailsFactsLines(const TDetailsFacts& facts);

/// Appends the details report of entry SelectedDevice, read through
/// DeviceHandle, to Log_Details.
void ShowDeviceDetails();

}  // namespace quarnel
