// One ATA command through IOCTL_ATA_PASS_THROUGH, the read-only queries' and
// the drive's own erase's alike: the register blocks before and after it,
// and up to one block of data from the drive.
#pragma once

#include <cstdint>
#include <vector>

#include "ata/AtaCommands.h"

namespace quarnel {

/// What came back: the registers after the command (Current.Features the
/// error register, Current.Command the status) and the data read.
struct TAtaPassThroughReply {
  TAtaTaskFile Registers;
  std::vector<uint8_t> Data;
  /// The status register's ERR or DF bit: the drive refused or failed the command.
  bool Failed() const;
};

inline constexpr uint32_t kAtaPassThroughTimeoutSeconds = 15;

/// Sends `command`, reading `dataIn` bytes (0 or 512). False when the host
/// refused the request or its reply is too short; the reason is then in the
/// host's last error. True says the drive answered: look at reply->Failed().
bool AtaPassThrough(THandle handle, const TAtaTaskFile& command, uint32_t dataIn,
                    TAtaPassThroughReply* reply,
                    uint32_t timeoutSeconds = kAtaPassThroughTimeoutSeconds);

}  // namespace quarnel
