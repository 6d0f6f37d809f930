#include "erase/DriveRun.h"

#include <chrono>
#include <cstring>
#include <ctime>

#include "ata/AtaCommands.h"
#include "base/Logging.h"
#include "base/System.h"
#include "base/Text.h"
#include "reports/Health.h"
#include "reports/SmartReport.h"

namespace quarnel {

namespace {

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
bool ReadSmartAttributes(THandle handle, const TIdentifyDeviceData& id,
                         std::vector<TSmartAttribute>* table) {
  TAtaBlock page = {};
  const bool ok = ReadSmartPage(handle, id.BusType == TBusType::Ata, id.IsIDESlave, page);
  *table = ok ? AttributeTable(page) : std::vector<TSmartAttribute>();
  return ok;
}

// Word 217: 0 not reported, 1 a non-rotating medium, 0401h..FFFEh the rate.
void ReadMediumType(THandle handle, const TIdentifyDeviceData& id, TEraseRecord* r) {
  if (id.BusType == TBusType::Nvme) {
    r->Medium = TMediumType::Nvme;
    return;
  }
  if (id.BusType == TBusType::Sd || id.BusType == TBusType::Mmc) {
    r->Medium = TMediumType::FlashCard;
    return;
  }
  TAtaBlock identify = {};
  if (!ReadIdentifyData(handle, id.IsIDESlave, identify)) return;
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

// Local wall-clock time in whole milliseconds. Being a wall clock it can step
// back (a clock change); the run guards against that where it matters.
int64_t SystemClock() {
  const auto now = std::chrono::system_clock::now();
  const int64_t utc =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm local = *std::localtime(&t);
  std::tm utcTm = *std::gmtime(&t);
  utcTm.tm_isdst = local.tm_isdst;
  const int64_t offsetSeconds = static_cast<int64_t>(std::mktime(&local) - std::mktime(&utcTm));
  return utc + offsetSeconds * 1000;
}

}  // namespace

TDriveRun::TDriveRun(Host& host, TUiSeam& ui, const TDeviceTable& drive, THandle handle,
                     std::string description)
    : host_(host),
      ui_(ui),
      drive_(drive),
      handle_(handle),
      description_(std::move(description)),
      locks_(host) {}

int64_t TDriveRun::FormatClockNow() const { return clock_ ? clock_() : SystemClock(); }

void* TDriveRun::AllocateZeroBuffer(size_t size) const {
  return allocate_ ? allocate_(size) : AllocateZeroBlock(size);
}

void TDriveRun::BeginEraseRecord(bool quickWipe, bool verify) {
  active_.emplace();
  lastFile_.clear();
  TEraseRecord& r = *active_;
  const TDeviceTable& drive = drive_;
  const TIdentifyDeviceData& id = drive.IdentifyData;
  r.HostVersion = VersionText(host_.GetVersion());
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
  if (writer_) r.HasSmart = ReadSmartAttributes(handle_, id, &r.SmartBefore);
  r.Context = context_;
  // Like SMART, asked of the drive only when a record is kept.
  if (writer_) ReadMediumType(handle_, id, &r);
}

void TDriveRun::EndEraseRecord() {
  if (!active_) return;
  TEraseRecord& r = *active_;
  if (writer_ && (r.HasSmart || r.HealthBefore)) {
    // One read after the run gives both the table and the verdict.
    const TSmartFacts f = ReadSmartFacts(handle_, drive_.IdentifyData, true);
    if (r.HasSmart && f.Read && !f.Nvme) r.SmartAfter = AttributeTable(f.Page.data());
    if (r.HealthBefore) {
      THealthAssessment after = AssessSmartFacts(f);
      if (after.Verdict != THealthVerdict::Unknown) r.HealthAfter = std::move(after);
    }
  }
  r.End = UtcTimeText();
  last_ = std::move(r);
  active_.reset();
  if (!writer_) return;
  std::string where, error;
  if (writer_(last_, &where, &error)) {
    AddLog("擦除记录已保存: " + where);
    lastFile_ = where;
  } else {
    AddLog("无法保存擦除记录: " + where + " - " + error);
  }
}

void TDriveRun::NoteBytesWritten(int64_t bytes) {
  if (active_) active_->BytesWritten += bytes;
}

void TDriveRun::NoteFailedBlock(int64_t offset, int64_t length, uint32_t code) {
  if (active_) active_->FailedBlocks.push_back({offset, length, code, host_.ErrorText(code)});
}

void TDriveRun::NoteFlush(bool flushed, uint32_t code) {
  if (!active_) return;
  active_->FlushAttempted = true;
  active_->Flushed = flushed;
  active_->FlushCode = code;
  active_->FlushText = flushed ? "" : host_.ErrorText(code);
}

void TDriveRun::NoteOutcome(TEraseOutcome outcome) {
  if (active_) active_->Outcome = outcome;
}

void TDriveRun::NoteStopRule(const TStopRule& rule) {
  if (active_) active_->StoppedBy = rule;
}

}  // namespace quarnel
