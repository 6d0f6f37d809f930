// One ATA command through IOCTL_ATA_PASS_THROUGH: the register blocks before
// and after it, and up to one block of data from the drive.
#pragma once

#include <cstdint>
#include <vector>

#include "ata/AtaCommands.h"

namespace quarnel {

/// A command's registers: `Current` as for a 28-bit command, `Previous` the
/// high-order bytes of a 48-bit one (features 15:8, count 15:8, LBA 31:24,
/// 39:32, 47:40).
struct TAtaTaskFile {
  TAtaRegisters Current;
  TAtaRegisters Previous;
  bool Ext = false;  // a 48-bit command: Previous is sent and comes back
};

/// What came back: the registers after the command (Current.Features the
/// error register, Current.Command the status) and the data read.
struct TAtaPassThroughReply {
  TAtaTaskFile Registers;
  std::vector<uint8_t> Data;
  /// The status register's ERR or DF bit: the drive refused or failed the command.
  bool Failed() const;
};

inline constexpr uint8_t kAtaStatusErr = 0x01;
inline constexpr uint8_t kAtaStatusDf = 0x20;
inline constexpr uint32_t kAtaPassThroughTimeoutSeconds = 15;

/// The request buffer: ATA_PASS_THROUGH_EX for `command`, then `dataIn`
/// zero bytes of room for the drive's data (0: a non-data command).
std::vector<uint8_t> BuildAtaPassThrough(const TAtaTaskFile& command, uint32_t dataIn);

/// Sends `command`, reading `dataIn` bytes (0 or 512). False when the host
/// refused the request or its reply is too short; the reason is then in the
/// host's last error. True says the drive answered: look at reply->Failed().
bool AtaPassThrough(THandle handle, const TAtaTaskFile& command, uint32_t dataIn,
                    TAtaPassThroughReply* reply);

}  // namespace quarnel
