#include "ata/HiddenArea.h"

#include "base/NumberTexts.h"
#include "host/Bytes.h"

namespace quarnel {

namespace {

constexpr uint8_t kDeviceLba = 0x40;  // device register bit 6: the address is an LBA
constexpr uint8_t kDcoSignature = 0xA5;

uint16_t Word(const TAtaBlock& b, int n) {
  return static_cast<uint16_t>(b[2 * n] | (b[2 * n + 1] << 8));
}

// Words 82 to 87 and 119 carry 01b in bits 15:14 when valid. A word with
// bit 15 set (FFFFh: no answer) offers nothing; bit 14 is not required, as
// the report's own decoding does not require it of word 83.
bool Offered(uint16_t word, int bit) { return (word & 0x8000) == 0 && (word & (1u << bit)) != 0; }

const char* CommandName(TNativeMaxCommand c) {
  switch (c) {
    case TNativeMaxCommand::GetNativeMaxExt:
      return "GET NATIVE MAX ADDRESS EXT";
    case TNativeMaxCommand::ReadNativeMaxExt:
      return "READ NATIVE MAX ADDRESS EXT";
    default:
      return "READ NATIVE MAX ADDRESS";
  }
}

// Why a command told nothing: the request refused, or the drive's ERR.
std::string Refusal(const std::string& command, bool sent) {
  if (!sent) {
    const uint32_t code = GetHost().GetLastError();
    return "ATA 直通请求被拒绝 (" + command + "): " + SystemErrorText(code);
  }
  return "驱动器拒绝了 " + command + " 命令";
}

void AskNativeMax(THandle handle, uint8_t driveNumber, THiddenAreaQuery& q) {
  const THiddenAreaSupport& s = q.Support;
  if (!s.AccessibleMax && !s.HpaSupported) {
    // Without either feature set the drive has nothing above what it reports.
    q.NativeMax = s.CurrentSectors;
    return;
  }
  const TNativeMaxCommand command = NativeMaxCommandFor(s);
  q.NativeCommand = CommandName(command);
  TAtaPassThroughReply reply;
  const bool sent = AtaPassThrough(handle, NativeMaxTaskFile(command, driveNumber), 0, &reply);
  if (!sent || reply.Failed()) {
    q.NativeReason = Refusal(q.NativeCommand, sent);
    return;
  }
  const int64_t native = static_cast<int64_t>(NativeMaxAddress(command, reply.Registers)) + 1;
  if (native < s.CurrentSectors) {
    q.NativeReason = "本机最大值 " + IntToStrGrouped(native) + " 小于报告的扇区数，不可信";
    return;
  }
  q.NativeMax = native;
}

void AskDco(THandle handle, uint8_t driveNumber, THiddenAreaQuery& q) {
  if (!q.Support.DcoSupported) return;
  if (q.NativeMax < 0) {
    q.DcoReason = "本机最大值未知，无法核对 DCO";
    return;
  }
  const std::string command = "DEVICE CONFIGURATION IDENTIFY";
  TAtaPassThroughReply reply;
  const bool sent = AtaPassThrough(handle, DcoIdentifyTaskFile(driveNumber), kAtaBlockSize, &reply);
  if (!sent || reply.Failed()) {
    q.DcoReason = Refusal(command, sent);
    return;
  }
  std::string why;
  const int64_t address = DcoMaximumAddress(reply.Data.data(), &why);
  if (address < 0) {
    q.DcoReason = why;
    return;
  }
  if (address + 1 < q.NativeMax) {
    q.DcoReason = "DCO 最大值 " + IntToStrGrouped(address + 1) + " 小于本机最大值，不可信";
    return;
  }
  q.DcoMax = address + 1;
}

}  // namespace

bool HiddenAreasPossible(TBusType bus) {
  // Not SD, MMC, the virtual disks, storage spaces, NVMe, SCM or UFS.
  return bus < TBusType::Sd || bus > TBusType::Ufs;
}

THiddenAreaSupport HiddenAreaSupport(const TAtaBlock& id) {
  THiddenAreaSupport s;
  const uint16_t w82 = Word(id, 82), w83 = Word(id, 83), w85 = Word(id, 85);
  s.Lba48 = Offered(w83, 10);
  s.DcoSupported = Offered(w83, 11);
  s.HpaSupported = Offered(w82, 10);
  // Word 85 mirrors word 82's layout but has no validity bits of its own.
  s.HpaEnabled = s.HpaSupported && (w85 & (1u << 10)) != 0;
  s.AccessibleMax = Offered(Word(id, 119), 8);
  if (s.Lba48) {
    uint64_t count = 0;
    for (int w = 103; w >= 100; --w) count = (count << 16) | Word(id, w);
    s.CurrentSectors = static_cast<int64_t>(count & 0xFFFFFFFFFFFFull);
  } else {
    s.CurrentSectors = static_cast<int64_t>(Word(id, 60) | (uint32_t{Word(id, 61)} << 16));
  }
  return s;
}

TNativeMaxCommand NativeMaxCommandFor(const THiddenAreaSupport& s) {
  if (s.AccessibleMax) return TNativeMaxCommand::GetNativeMaxExt;
  return s.Lba48 ? TNativeMaxCommand::ReadNativeMaxExt : TNativeMaxCommand::ReadNativeMax;
}

TAtaTaskFile NativeMaxTaskFile(TNativeMaxCommand command, uint8_t driveNumber) {
  TAtaTaskFile t;
  t.Current.DriveHead = static_cast<uint8_t>(DriveHeadFor(driveNumber) | kDeviceLba);
  switch (command) {
    case TNativeMaxCommand::GetNativeMaxExt:
      t.Ext = true;
      t.Current.Command = kAtaGetNativeMaxExt;  // feature 0000h: GET NATIVE MAX ADDRESS EXT
      break;
    case TNativeMaxCommand::ReadNativeMaxExt:
      t.Ext = true;
      t.Current.Command = kAtaReadNativeMaxExt;
      break;
    case TNativeMaxCommand::ReadNativeMax:
      t.Current.Command = kAtaReadNativeMax;
      break;
  }
  return t;
}

TAtaTaskFile DcoIdentifyTaskFile(uint8_t driveNumber) {
  TAtaTaskFile t;
  t.Current.Features = kAtaDcoIdentifyFeature;
  // The count is N/A; one block, for translators that take the length from it.
  t.Current.SectorCount = 1;
  t.Current.DriveHead = DriveHeadFor(driveNumber);
  t.Current.Command = kAtaDeviceConfiguration;
  return t;
}

uint64_t NativeMaxAddress(TNativeMaxCommand command, const TAtaTaskFile& r) {
  if (command != TNativeMaxCommand::ReadNativeMax) return r.Lba48();
  // 28 bits: 27:24 in the device register's low nibble.
  const uint64_t low = r.Lba48() & 0xFFFFFF;
  return low | (uint64_t{r.Current.DriveHead & 0x0Fu} << 24);
}

int64_t DcoMaximumAddress(const uint8_t* block, std::string* why) {
  if (block[510] != kDcoSignature) {
    *why = "DCO 回复的签名不是 A5h";
    return -1;
  }
  if (ByteSum(block, kAtaBlockSize) != 0) {
    *why = "DCO 回复的校验和错误";
    return -1;
  }
  uint64_t address = 0;
  for (int w = 6; w >= 3; --w) address = (address << 16) | block[2 * w] | (block[2 * w + 1] << 8);
  return static_cast<int64_t>(address & 0xFFFFFFFFFFFFull);  // bits 63:48 are reserved
}

bool THiddenAreaQuery::Determined() const {
  return NativeMax >= 0 && (!Support.DcoSupported || DcoMax >= 0);
}

int64_t THiddenAreaQuery::HpaSectors() const {
  return NativeMax > Support.CurrentSectors ? NativeMax - Support.CurrentSectors : 0;
}

int64_t THiddenAreaQuery::DcoSectors() const {
  return NativeMax >= 0 && DcoMax > NativeMax ? DcoMax - NativeMax : 0;
}

THiddenAreaQuery QueryHiddenArea(THandle handle, uint8_t driveNumber, const TAtaBlock& identify) {
  THiddenAreaQuery q;
  q.Ata = true;
  q.Support = HiddenAreaSupport(identify);
  AskNativeMax(handle, driveNumber, q);
  AskDco(handle, driveNumber, q);
  return q;
}

THiddenAreaQuery QueryHiddenArea(THandle handle, uint8_t driveNumber) {
  TAtaBlock identify = {};
  if (!ReadIdentifyData(handle, driveNumber, identify)) {
    THiddenAreaQuery q;
    q.NativeReason = kHiddenAreaNoAta;
    return q;
  }
  return QueryHiddenArea(handle, driveNumber, identify);
}

}  // namespace quarnel
