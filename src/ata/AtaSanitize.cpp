#include "ata/AtaSanitize.h"

#include "ata/AtaPassThrough.h"

namespace quarnel {

namespace {

// The keys each SANITIZE subcommand requires in its LBA field, so that no
// stray command erases a drive.
constexpr uint64_t kCryptoScrambleKey = 0x43727970;  // "Cryp"
constexpr uint64_t kBlockEraseKey = 0x426B4572;      // "BkEr"
constexpr uint64_t kOverwriteKey = 0x4F57;           // "OW", in LBA 47:32
constexpr uint8_t kLbaMode = 0x40;

uint16_t Word(const uint8_t (&b)[512], int word) {
  return static_cast<uint16_t>(b[2 * word] | (b[2 * word + 1] << 8));
}

}  // namespace

TAtaEraseFeatures DecodeAtaEraseFeatures(const uint8_t (&identify)[512]) {
  TAtaEraseFeatures f;
  const uint16_t w59 = Word(identify, 59);
  f.Sanitize = (w59 & 0x1000) != 0;
  f.CryptoScramble = f.Sanitize && (w59 & 0x2000) != 0;
  f.Overwrite = f.Sanitize && (w59 & 0x4000) != 0;
  f.BlockErase = f.Sanitize && (w59 & 0x8000) != 0;
  const uint16_t w128 = Word(identify, 128);
  f.SecuritySupported = (w128 & 0x1) != 0;
  f.SecurityEnabled = (w128 & 0x2) != 0;
  f.SecurityLocked = (w128 & 0x4) != 0;
  f.SecurityFrozen = (w128 & 0x8) != 0;
  return f;
}

TAtaTaskFile AtaSanitizeCommand(TAtaSanitize subcommand, uint8_t driveNumber) {
  TAtaTaskFile c;
  c.Ext = true;
  c.Current.Command = kAtaSanitizeDevice;
  c.SetFeatures16(static_cast<uint16_t>(subcommand));
  c.Current.DriveHead = static_cast<uint8_t>(kLbaMode | (driveNumber ? 0x10 : 0));
  switch (subcommand) {
    case TAtaSanitize::CryptoScramble:
      c.SetLba48(kCryptoScrambleKey);
      break;
    case TAtaSanitize::BlockErase:
      c.SetLba48(kBlockEraseKey);
      break;
    case TAtaSanitize::Overwrite:
      // Pattern 00000000h in LBA 31:0; COUNT 3:0 is the pass count, where 0
      // would mean sixteen passes.
      c.SetLba48(kOverwriteKey << 32);
      c.SetCount16(1);
      break;
    case TAtaSanitize::Status:
      break;
  }
  return c;
}

TAtaSanitizeStatus DecodeAtaSanitizeStatus(const TAtaTaskFile& r) {
  TAtaSanitizeStatus s;
  const uint16_t count = r.Count16();
  const uint64_t lba = r.Lba48();
  s.Aborted = (r.Current.Command & kAtaStatusErr) != 0;
  if (s.Aborted) s.Reason = static_cast<uint8_t>(lba & 0xFF);
  s.CompletedWithoutError = (count & 0x8000) != 0;
  s.InProgress = (count & 0x4000) != 0;
  s.Frozen = (count & 0x2000) != 0;
  s.Progress = static_cast<uint16_t>(lba & 0xFFFF);
  return s;
}

bool AtaSendSanitize(THandle handle, const TAtaTaskFile& command, uint32_t timeoutSeconds,
                     TAtaTaskFile* returned) {
  TAtaPassThroughReply reply;
  if (!AtaPassThrough(handle, command, 0, &reply, timeoutSeconds)) return false;
  *returned = reply.Registers;
  return true;
}

std::string AtaSanitizeReasonText(uint8_t reason) {
  switch (reason) {
    case 1:
      return "sanitize command unsuccessful";
    case 2:
      return "invalid or unsupported value in the command";
    case 3:
      return "sanitize is frozen";
    case 4:
      return "sanitize antifreeze lock is set";
    default:
      return "reason " + std::to_string(reason);
  }
}

}  // namespace quarnel
