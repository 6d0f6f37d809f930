#include "ata/AtaSelfTest.h"

#include "host/Bytes.h"
#include "host/HostConstants.h"

namespace quarnel {

namespace {

constexpr size_t kExecutionStatus = 363;
constexpr size_t kOfflineCapability = 367;  // bit 4 self-test, bit 5 conveyance
constexpr size_t kShortMinutes = 372;
constexpr size_t kExtendedMinutes = 373;
constexpr size_t kConveyanceMinutes = 374;
constexpr size_t kExtendedMinutesWord = 375;

constexpr size_t kLogFirstDescriptor = 2;
constexpr size_t kLogDescriptorSize = 24;
constexpr int kLogDescriptors = 21;
constexpr size_t kLogIndex = 508;

TAtaRegisters SelfTestRegisters(uint8_t feature, uint8_t sectorNumber, uint8_t driveNumber) {
  return {feature,
          1,
          sectorNumber,
          win::kSMART_CYL_LOW,
          win::kSMART_CYL_HI,
          DriveHeadFor(driveNumber),
          win::kATA_SMART};
}

TSelfTestType AtaSelfTestType(uint8_t number) {
  // Bit 7 marks the captive form of the same routine.
  switch (number & 0x7F) {
    case 0x00:
      return TSelfTestType::Offline;
    case 0x01:
      return TSelfTestType::Short;
    case 0x02:
      return TSelfTestType::Extended;
    case 0x03:
      return TSelfTestType::Conveyance;
    case 0x04:
      return TSelfTestType::Selective;
    default:
      return TSelfTestType::Vendor;
  }
}

bool IsFailure(TSelfTestStatus s) {
  return s == TSelfTestStatus::FatalError || s == TSelfTestStatus::FailedUnknown ||
         s == TSelfTestStatus::FailedElectrical || s == TSelfTestStatus::FailedServo ||
         s == TSelfTestStatus::FailedRead || s == TSelfTestStatus::FailedHandling;
}

}  // namespace

TAtaSelfTestCapability AtaSelfTestCapability(const TAtaBlock& page) {
  TAtaSelfTestCapability c;
  c.SelfTest = SmartPageOffersSelfTest(page);
  c.Conveyance = c.SelfTest && (page[kOfflineCapability] & 0x20) != 0;
  c.ShortMinutes = page[kShortMinutes];
  c.ExtendedMinutes = page[kExtendedMinutes];
  if (c.ExtendedMinutes == 0xFF) {
    c.ExtendedMinutes =
        static_cast<uint16_t>(page[kExtendedMinutesWord] | (page[kExtendedMinutesWord + 1] << 8));
  }
  c.ConveyanceMinutes = page[kConveyanceMinutes];
  return c;
}

TSelfTestStatus AtaSelfTestStatus(uint8_t nibble) {
  switch (nibble & 0x0F) {
    case 0:
      return TSelfTestStatus::Completed;
    case 1:
      return TSelfTestStatus::AbortedByHost;
    case 2:
      return TSelfTestStatus::Interrupted;
    case 3:
      return TSelfTestStatus::FatalError;
    case 4:
      return TSelfTestStatus::FailedUnknown;
    case 5:
      return TSelfTestStatus::FailedElectrical;
    case 6:
      return TSelfTestStatus::FailedServo;
    case 7:
      return TSelfTestStatus::FailedRead;
    case 8:
      return TSelfTestStatus::FailedHandling;
    case 15:
      return TSelfTestStatus::InProgress;
    default:
      return TSelfTestStatus::Unknown;
  }
}

TSelfTestProgress AtaSelfTestProgress(const TAtaBlock& page) {
  const uint8_t b = page[kExecutionStatus];
  TSelfTestProgress p;
  p.Last = AtaSelfTestStatus(b >> 4);
  p.Running = p.Last == TSelfTestStatus::InProgress;
  // A nibble above 9 is no tens of percent: say all of it is left.
  if (p.Running) p.RemainingPercent = (b & 0x0F) > 9 ? 100 : (b & 0x0F) * 10;
  return p;
}

uint8_t AtaSelfTestSubcommand(TSelfTestKind kind) {
  switch (kind) {
    case TSelfTestKind::Short:
      return 0x01;
    case TSelfTestKind::Extended:
      return 0x02;
    case TSelfTestKind::Conveyance:
      return 0x03;
    case TSelfTestKind::Abort:
      return 0x7F;
  }
  return 0x7F;
}

bool DecodeAtaSelfTestLog(const uint8_t* log, size_t size, std::vector<TSelfTestEntry>* entries) {
  if (log == nullptr || size != kAtaBlockSize) return false;
  const int index = log[kLogIndex];
  if (ByteSum(log, size) != 0 || index > kLogDescriptors) return false;
  entries->clear();
  // A circular buffer: from the newest back around to the oldest.
  for (int k = 0; index != 0 && k < kLogDescriptors; ++k) {
    const int slot = ((index - 1 - k) % kLogDescriptors + kLogDescriptors) % kLogDescriptors;
    const uint8_t* d = log + kLogFirstDescriptor + kLogDescriptorSize * static_cast<size_t>(slot);
    bool empty = true;
    for (size_t i = 0; i < 9; ++i) empty = empty && d[i] == 0;
    if (empty) continue;  // a slot never written
    TSelfTestEntry e;
    e.Type = AtaSelfTestType(d[0]);
    e.StatusCode = static_cast<uint8_t>(d[1] >> 4);
    e.Status = AtaSelfTestStatus(e.StatusCode);
    e.RemainingPercent = static_cast<uint8_t>((d[1] & 0x0F) > 9 ? 100 : (d[1] & 0x0F) * 10);
    e.LifetimeHours = static_cast<uint64_t>(d[2] | (d[3] << 8));
    const uint32_t lba = static_cast<uint32_t>(d[5]) | (static_cast<uint32_t>(d[6]) << 8) |
                         (static_cast<uint32_t>(d[7]) << 16) | (static_cast<uint32_t>(d[8]) << 24);
    // Drives fill the field with ones when no sector failed.
    if (IsFailure(e.Status) && lba != 0xFFFFFFFFu) e.FailingLba = lba;
    entries->push_back(e);
  }
  return true;
}

bool AtaExecuteSelfTest(THandle handle, uint8_t driveNumber, uint8_t subcommand) {
  return SmartSendCommand(
      handle, driveNumber,
      SelfTestRegisters(win::kSMART_EXECUTE_OFFLINE_DIAGS, subcommand, driveNumber));
}

bool AtaReadSelfTestLog(THandle handle, uint8_t driveNumber, TAtaBlock& log) {
  return SmartReadLog(handle, driveNumber, kAtaSelfTestLog, log);
}

}  // namespace quarnel
