// The S.M.A.R.T. report: the attribute table of the chosen drive's SMART
// data page as fixed-width text lines in the SMART pane.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ata/AtaCommands.h"
#include "ata/Identification.h"
#include "nvme/NvmeDecode.h"
#include "reports/SelfTest.h"

namespace quarnel {

/// The display name of an attribute id with its trailing spaces; "未知" and
/// 19 spaces for an id without a name (also ids outside 1..255).
std::string GetSmartAttributeName(int id);

/// Spaces appended (PadRight) or put in front (PadLeft) until the text has at
/// least `width` characters.
std::string PadRight(const std::string& text, size_t width);
std::string PadLeft(const std::string& text, size_t width);

/// The report row of one attribute entry; any 12 bytes give a row.
std::string SmartAttributeRow(const TSmartEntry& entry);

/// The lines after a successful read: header, rule, one row per entry up to
/// the first id 0 (30 at most), and the closing blank line.
std::vector<std::string> SmartTableLines(const TAtaBlock& page);

/// What the SMART report tells, read from the drive: the SMART data page of
/// an ATA drive (with its thresholds when asked for), the health log of an
/// NVMe drive.
struct TSmartFacts {
  bool Nvme = false;
  bool Read = false;  // the page or the log came
  std::array<uint8_t, kAtaBlockSize> Page{};
  bool ThresholdsRead = false;
  std::array<uint8_t, kAtaBlockSize> Thresholds{};
  TSmartReturnStatus ReturnStatus = TSmartReturnStatus::NoAnswer;  // asked with the thresholds
  int64_t Sectors = 0;  // the drive's size, which bounds its bad-sector counts
  TNvmeHealth Health;
  TSelfTestFacts SelfTests;  // asked with the thresholds
};

/// `withThresholds` also asks an ATA drive for its thresholds and RETURN
/// STATUS, and any drive for its self-tests.
TSmartFacts ReadSmartFacts(THandle handle, const TIdentifyDeviceData& id, bool withThresholds);

/// One entry of the attribute table, with its threshold when the thresholds
/// page lists its id.
struct TSmartAttributeRow {
  uint8_t Id = 0;
  uint16_t Flags = 0;  // bytes 1-2; bit 0: pre-failure
  uint8_t Current = 0;
  uint8_t Worst = 0;
  uint64_t Raw = 0;  // bytes 5-10, the 48-bit raw value
  std::array<uint8_t, 6> RawBytes{};
  std::optional<uint8_t> Threshold;
  /// The normalised value is at or below a threshold other than 0 (which
  /// means "never fails"); `worst` for the same in the past.
  bool FailingNow() const { return Threshold && *Threshold != 0 && Current <= *Threshold; }
  bool FailedInPast() const { return Threshold && *Threshold != 0 && Worst <= *Threshold; }
};

/// The entries up to the first id 0, as the report's table lists them.
std::vector<TSmartAttributeRow> SmartAttributes(const TSmartFacts& facts);

/// Appends the SMART report of entry SelectedDevice, read through
/// DeviceHandle, to Log_Smart.
void ShowSmartData();

/// The same report followed by the drive's health verdict (HealthLines)
/// and its self-tests (SelfTestLines); returns the verdict.
struct THealthAssessment;
THealthAssessment ShowSmartDataWithHealth();

/// The verdict of the drive behind `handle`, read with the read-only SMART
/// queries, without a line in any pane.
THealthAssessment QueryDriveHealth(THandle handle, const TIdentifyDeviceData& id);

}  // namespace quarnel
