#include "ata/AtaSanitize.h"

#include "host/HostConstants.h"

namespace quarnel {

namespace {

// The keys each SANITIZE subcommand requires in its LBA field, so that no
// stray command erases a drive.
constexpr uint64_t kCryptoScrambleKey = 0x43727970;  // "Cryp"
constexpr uint64_t kBlockEraseKey = 0x426B4572;      // "BkEr"
constexpr uint64_t kOverwriteKey = 0x4F57;           // "OW", in LBA 47:32
constexpr uint8_t kLbaMode = 0x40;
constexpr uint8_t kStatusErr = 0x01;

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

TAtaCommand48 AtaSanitizeCommand(TAtaSanitize subcommand, uint8_t driveNumber) {
  TAtaCommand48 c;
  c.Command = kAtaSanitizeDevice;
  c.Features = static_cast<uint16_t>(subcommand);
  c.Device = static_cast<uint8_t>(kLbaMode | (driveNumber ? 0x10 : 0));
  switch (subcommand) {
    case TAtaSanitize::CryptoScramble:
      c.Lba = kCryptoScrambleKey;
      break;
    case TAtaSanitize::BlockErase:
      c.Lba = kBlockEraseKey;
      break;
    case TAtaSanitize::Overwrite:
      // Pattern 00000000h in LBA 31:0; COUNT 3:0 is the pass count, where 0
      // would mean sixteen passes.
      c.Lba = kOverwriteKey << 32;
      c.Count = 1;
      break;
    case TAtaSanitize::Status:
      break;
  }
  return c;
}

TAtaSanitizeStatus DecodeAtaSanitizeStatus(const TAtaReturn48& r) {
  TAtaSanitizeStatus s;
  s.Aborted = (r.Status & kStatusErr) != 0;
  if (s.Aborted) s.Reason = static_cast<uint8_t>(r.Lba & 0xFF);
  s.CompletedWithoutError = (r.Count & 0x8000) != 0;
  s.InProgress = (r.Count & 0x4000) != 0;
  s.Frozen = (r.Count & 0x2000) != 0;
  s.Progress = static_cast<uint16_t>(r.Lba & 0xFFFF);
  return s;
}

bool AtaSendSanitize(THandle handle, const TAtaCommand48& command, uint32_t timeoutSeconds,
                     TAtaReturn48* returned) {
  uint8_t buffer[win::kATA_PASS_THROUGH_EX_SIZE];
  BuildAtaPassThroughEx(command, timeoutSeconds, buffer);
  uint32_t got = 0;
  if (!GetHost().DeviceIoControl(handle, win::kIOCTL_ATA_PASS_THROUGH, buffer, sizeof buffer,
                                 buffer, sizeof buffer, &got) ||
      got < win::kATA_PASS_THROUGH_EX_SIZE) {
    return false;
  }
  *returned = GetAtaReturn(buffer);
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
