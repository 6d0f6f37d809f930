// ATA self-tests: SMART EXECUTE OFF-LINE IMMEDIATE, the self-test fields of
// the SMART data page and the SMART self-test log (06h). The decoders are
// pure functions over bytes; the commands write no log line.
#pragma once

#include <cstdint>
#include <vector>

#include "ata/AtaCommands.h"
#include "base/SelfTest.h"

namespace quarnel {

/// The self-test fields of the SMART data page (bytes 362..376).
struct TAtaSelfTestCapability {
  bool SelfTest = false;          // byte 367 bit 4: short and extended tests
  bool Conveyance = false;        // byte 367 bit 5
  uint8_t ShortMinutes = 0;       // byte 372: the drive's polling time
  uint16_t ExtendedMinutes = 0;   // byte 373, or words 375-376 when it holds FFh
  uint8_t ConveyanceMinutes = 0;  // byte 374
};

TAtaSelfTestCapability AtaSelfTestCapability(const TAtaBlock& page);

/// Byte 363: the status in its high nibble (Fh: running), what is left in its
/// low nibble in tens of percent.
TSelfTestProgress AtaSelfTestProgress(const TAtaBlock& page);

/// A status nibble as the data page and the log give it.
TSelfTestStatus AtaSelfTestStatus(uint8_t nibble);

/// The subcommand of EXECUTE OFF-LINE IMMEDIATE for a kind (off-line mode:
/// the drive keeps answering while it tests): 01h, 02h, 03h, 7Fh.
uint8_t AtaSelfTestSubcommand(TSelfTestKind kind);

inline constexpr uint8_t kAtaSelfTestLog = 0x06;

/// The SMART self-test log: 21 descriptors of 24 bytes from byte 2, byte 508
/// naming the newest (1..21; 0: none yet), byte 511 making the sum of all
/// 512 bytes zero. The entries newest first into *entries; false (nothing
/// given) when the sum is wrong, `size` is not 512 or the index is out of range.
bool DecodeAtaSelfTestLog(const uint8_t* log, size_t size, std::vector<TSelfTestEntry>* entries);

/// EXECUTE OFF-LINE IMMEDIATE through SMART_SEND_DRIVE_COMMAND. Return false on refusal.
bool AtaExecuteSelfTest(THandle handle, uint8_t driveNumber, uint8_t subcommand);

/// SMART READ LOG of the self-test log through SMART_RCV_DRIVE_DATA, else
/// through SMART_SEND_DRIVE_COMMAND. Return false on refusal.
bool AtaReadSelfTestLog(THandle handle, uint8_t driveNumber, TAtaBlock& log);

}  // namespace quarnel
