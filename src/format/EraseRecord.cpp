#include "format/EraseRecord.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>

#include "ata/AtaCommands.h"
#include "base/Logging.h"
#include "base/Text.h"
#include "devices/DeviceTable.h"
#include "format/FormatEngine.h"
#include "reports/SmartReport.h"

namespace quarnel {

namespace {

TEraseRecordWriter recordWriter;
TEraseContext recordContext;
std::optional<TEraseRecord> active;
TEraseRecord last;
std::string lastFile;

// The attribute table of a SMART data page, up to the first id 0.
std::vector<TSmartAttribute> AttributeTable(const uint8_t* page) {
  std::vector<TSmartAttribute> table;
  for (int i = 0; i < kSmartAttributeSlots; ++i) {
    TSmartEntry e;
    std::memcpy(e, page + kSmartFirstEntry + kSmartEntrySize * i, kSmartEntrySize);
    if (e[0] == 0) break;
    table.push_back({e[0], e[3], e[4], SmartRawValue(e)});
  }
  return table;
}

// The attribute table of the drive's SMART data page, read as the SMART
// report reads it: an ATA drive whose SMART is off is switched on for the
// read and off again. False when the drive gives no SMART data.
bool ReadSmartAttributes(std::vector<TSmartAttribute>* table) {
  const TIdentifyDeviceData& id = DeviceTable[SelectedDevice].IdentifyData;
  TAtaBlock page = {};
  const bool ok = ReadSmartPage(DeviceHandle, id.BusType == TBusType::Ata, id.IsIDESlave, page);
  *table = ok ? AttributeTable(page) : std::vector<TSmartAttribute>();
  return ok;
}

// Word 217: 0 not reported, 1 a non-rotating medium, 0401h..FFFEh the rate.
void ReadMediumType(const TIdentifyDeviceData& id, TEraseRecord* r) {
  if (id.BusType == TBusType::Nvme) {
    r->Medium = TMediumType::Nvme;
    return;
  }
  if (id.BusType == TBusType::Sd || id.BusType == TBusType::Mmc) {
    r->Medium = TMediumType::FlashCard;
    return;
  }
  TAtaBlock identify = {};
  if (!ReadIdentifyData(DeviceHandle, id.IsIDESlave, identify)) return;
  const int rate = identify[434] | (identify[435] << 8);
  if (rate == 1) r->Medium = TMediumType::SolidState;
  if (rate >= 0x0401 && rate <= 0xFFFE) {
    r->Medium = TMediumType::Rotating;
    r->RotationRate = rate;
  }
}

std::string VersionText(const TPlatformVersion& v) {
  std::string text =
      std::to_string(v.Major) + "." + std::to_string(v.Minor) + "." + std::to_string(v.Build);
  if (!v.ServicePack.empty()) text += " " + v.ServicePack;
  return text;
}

}  // namespace

const char* EraseOutcomeName(TEraseOutcome outcome) {
  switch (outcome) {
    case TEraseOutcome::Complete:
      return "complete";
    case TEraseOutcome::Failed:
      return "failed";
    case TEraseOutcome::Cancelled:
      return "cancelled";
    case TEraseOutcome::Aborted:
      return "aborted";
    case TEraseOutcome::NotLocked:
      return "not-locked";
    case TEraseOutcome::DriveChanged:
      return "drive-changed";
  }
  return "failed";
}

int64_t THiddenArea::HiddenSectors() const {
  // What is known to be hidden counts even when the rest is not known: a
  // native maximum above the reported one hides sectors whatever a DCO says.
  if (!Applies || NativeMax < 0) return 0;
  const int64_t top = std::max(NativeMax, DcoMax);
  return top > CurrentMax ? top - CurrentMax : 0;
}

const char* SanitizationCategory(const TEraseRecord& record, TSanitizationStandard standard) {
  // Overwriting the addressable sectors from the host is Clear in both.
  if (!record.FirmwareRun) return "Clear";
  // A Format NVM user data erase: Purge in NIST SP 800-88 Rev. 1's table for
  // NVMe drives, Clear in IEEE 2883-2022, which keeps Purge for the Sanitize
  // operations and cryptographic erase (docs/erase-record.md).
  if (record.FirmwareErase.Method == TFirmwareMethod::FormatUser &&
      standard == TSanitizationStandard::Ieee2883) {
    return "Clear";
  }
  return "Purge";
}

const char* SectorCoverage(const TEraseRecord& record) {
  const THiddenArea& h = record.HiddenArea;
  if (!h.Applies) return "all-sectors";
  if (h.HiddenSectors() > 0) return "visible-sectors-only";
  return h.Determined ? "all-sectors" : "undetermined";
}

std::vector<TByteRange> ErasedRanges(bool quickWipe, int64_t driveBytes) {
  if (driveBytes <= 0) return {};
  if (!quickWipe) return {{0, driveBytes}};
  std::vector<TByteRange> ranges{{0, std::min(driveBytes, kQuickWipeBytes)}};
  if (driveBytes > kQuickWipeBytes + kQuickWipeTailBytes) {
    ranges.push_back({driveBytes - kQuickWipeTailBytes, kQuickWipeTailBytes});
  }
  return ranges;
}

void SetEraseRecordWriter(TEraseRecordWriter writer) { recordWriter = std::move(writer); }

void SetEraseRecordContext(const TEraseContext& context) { recordContext = context; }

bool EraseRecordWanted() { return static_cast<bool>(recordWriter); }

std::string UtcTimeText() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm utc = *std::gmtime(&t);
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                static_cast<int>(ms));
  return text;
}

void BeginEraseRecord(bool quickWipe, bool verify) {
  active.emplace();
  lastFile.clear();
  TEraseRecord& r = *active;
  const TDeviceTable& drive = DeviceTable[SelectedDevice];
  const TIdentifyDeviceData& id = drive.IdentifyData;
  r.HostVersion = VersionText(GetHost().GetVersion());
  r.Model = Trim(id.Model);
  r.Serial = Trim(id.SN);
  r.Firmware = Trim(id.FW);
  r.Bus = BusTypeName(id.BusType);
  r.Path = drive.DevicePath;
  r.Sectors = id.LBA;
  r.SectorSize = id.SectorSize;
  if (id.LBA > 0 && id.SectorSize > 0 && id.LBA <= INT64_MAX / id.SectorSize) {
    r.Capacity = id.LBA * id.SectorSize;
  }
  r.Quick = quickWipe;
  r.Ranges = ErasedRanges(quickWipe, r.Capacity);
  r.VerifyAsked = verify;
  r.Start = UtcTimeText();
  if (recordWriter) r.HasSmart = ReadSmartAttributes(&r.SmartBefore);
  r.Context = recordContext;
  // Like SMART, asked of the drive only when a record is kept.
  if (recordWriter) ReadMediumType(id, &r);
}

void EndEraseRecord() {
  if (!active) return;
  TEraseRecord& r = *active;
  if (recordWriter && (r.HasSmart || r.HealthBefore)) {
    // One read after the run gives both the table and the verdict.
    const TSmartFacts f =
        ReadSmartFacts(DeviceHandle, DeviceTable[SelectedDevice].IdentifyData, true);
    if (r.HasSmart && f.Read && !f.Nvme) r.SmartAfter = AttributeTable(f.Page.data());
    if (r.HealthBefore) {
      THealthAssessment after = AssessSmartFacts(f);
      if (after.Verdict != THealthVerdict::Unknown) r.HealthAfter = std::move(after);
    }
  }
  r.End = UtcTimeText();
  last = std::move(r);
  active.reset();
  if (!recordWriter) return;
  std::string where, error;
  if (recordWriter(last, &where, &error)) {
    AddLog("擦除记录已保存: " + where);
    lastFile = where;
  } else {
    AddLog("无法保存擦除记录: " + where + " - " + error);
  }
}

TEraseRecord* ActiveEraseRecord() { return active ? &*active : nullptr; }

void NoteBytesWritten(int64_t bytes) {
  if (active) active->BytesWritten += bytes;
}

void NoteFailedBlock(int64_t offset, int64_t length, uint32_t code) {
  if (active) active->FailedBlocks.push_back({offset, length, code, GetHost().ErrorText(code)});
}

void NoteFlush(bool flushed, uint32_t code) {
  if (!active) return;
  active->FlushAttempted = true;
  active->Flushed = flushed;
  active->FlushCode = code;
  active->FlushText = flushed ? "" : GetHost().ErrorText(code);
}

void NoteOutcome(TEraseOutcome outcome) {
  if (active) active->Outcome = outcome;
}

void NoteStopRule(const TStopRule& rule) {
  if (active) active->StoppedBy = rule;
}

const std::string& LastEraseRecordFile() { return lastFile; }

const TEraseRecord& LastEraseRecord() { return last; }

void ResetEraseRecord() {
  recordWriter = nullptr;
  active.reset();
  last = TEraseRecord{};
  lastFile.clear();
}

}  // namespace quarnel
