// The ATA SANITIZE feature set (command B4h) as IDENTIFY DEVICE announces it,
// its commands, and SANITIZE STATUS EXT's answer; carried by
// IOCTL_ATA_PASS_THROUGH. SECURITY ERASE UNIT is left out on purpose: a
// failure there can leave the drive locked with a password.
#pragma once

#include <cstdint>
#include <string>

#include "host/AtaRequests.h"
#include "host/Host.h"

namespace quarnel {

/// IDENTIFY DEVICE word 59 bits 12-15 and word 128.
struct TAtaEraseFeatures {
  bool Sanitize = false;        // word 59 bit 12
  bool CryptoScramble = false;  // bit 13
  bool Overwrite = false;       // bit 14
  bool BlockErase = false;      // bit 15
  bool SecuritySupported = false, SecurityEnabled = false, SecurityLocked = false,
       SecurityFrozen = false;  // word 128 bits 0-3
};

TAtaEraseFeatures DecodeAtaEraseFeatures(const uint8_t (&identify)[512]);

enum class TAtaSanitize : uint16_t {
  Status = 0x0000,
  CryptoScramble = 0x0011,
  BlockErase = 0x0012,
  Overwrite = 0x0014,
};

/// The registers of a SANITIZE command: its subcommand in FEATURE, its key in
/// LBA, for OVERWRITE one pass of the pattern 00000000h.
TAtaTaskFile AtaSanitizeCommand(TAtaSanitize subcommand, uint8_t driveNumber);

/// SANITIZE STATUS EXT's answer (and, on ERR, the reason in LBA 7:0).
struct TAtaSanitizeStatus {
  bool Aborted = false;                // ERR set: the command was refused
  uint8_t Reason = 0;                  // then: 1 failed, 2 unsupported, 3 frozen, 4 antifreeze lock
  bool CompletedWithoutError = false;  // COUNT bit 15
  bool InProgress = false;             // bit 14
  bool Frozen = false;                 // bit 13
  uint16_t Progress = 0;               // LBA 15:0, of 65536
};

TAtaSanitizeStatus DecodeAtaSanitizeStatus(const TAtaTaskFile& registers);

/// Sends one SANITIZE command through IOCTL_ATA_PASS_THROUGH. True when it
/// reached the drive (even if the drive refused it); `returned` then holds
/// the registers it gave back.
bool AtaSendSanitize(THandle handle, const TAtaTaskFile& command, uint32_t timeoutSeconds,
                     TAtaTaskFile* returned);

/// The reason of a refused SANITIZE in words.
std::string AtaSanitizeReasonText(uint8_t reason);

}  // namespace quarnel
