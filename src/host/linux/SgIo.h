// ATA PASS-THROUGH (16) over SG_IO: building the command block and judging the
// answer. Pure functions over bytes, so recorded answers can drive them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "host/AtaRequests.h"

namespace quarnel::sgio {

enum class TAtaProtocol { NonData, PioDataIn };

inline constexpr uint8_t kAtaPassThrough16 = 0x85;
inline constexpr size_t kCdbSize = 16;

/// The ATA PASS-THROUGH (16) block for one command, every command's. Non-data
/// commands ask for CK_COND so the registers come back in the sense data.
/// 28-bit data-in commands move one 512-byte block and do not ask for it:
/// some AHCI ports then report a spurious ABORTED COMMAND although the data
/// is good. A 48-bit command (Ext) sets EXTEND, carries the high-order bytes
/// in the fields before their low-order ones, and asks for CK_COND with
/// either protocol: these commands answer in their registers.
std::array<uint8_t, kCdbSize> BuildAtaPassThrough16(const TAtaTaskFile& command,
                                                    TAtaProtocol protocol);

/// SCSI INQUIRY of a vital product data page (6-byte block).
std::array<uint8_t, 6> BuildInquiryVpd(uint8_t page, uint16_t allocationLength);

/// What the sense data says.
struct TSense {
  bool Valid = false;       // a response code 70h-73h was found
  bool Descriptor = false;  // 72h/73h
  uint8_t Key = 0;
  uint8_t Asc = 0;
  uint8_t Ascq = 0;
  bool HasAtaStatus = false;  // ATA status return descriptor, or the fixed-format fields
  /// Current.Features holds the ATA error register, Current.Command the
  /// status; Ext the EXTEND bit; Previous the high-order bytes (descriptor
  /// format only).
  TAtaTaskFile Registers;
  bool HobLost = false;  // fixed format: some high-order byte was not zero and is not given
};

/// Parses descriptor-format (72h, ATA status return descriptor 09h) and
/// fixed-format (70h) sense data.
TSense ParseSense(const uint8_t* sense, size_t length);

/// SCSI sense keys and statuses that the judgement names.
inline constexpr uint8_t kSenseNoSense = 0x0;
inline constexpr uint8_t kSenseRecoveredError = 0x1;
inline constexpr uint8_t kSenseNotReady = 0x2;
inline constexpr uint8_t kSenseIllegalRequest = 0x5;
inline constexpr uint8_t kSenseAbortedCommand = 0xB;
inline constexpr uint8_t kScsiGood = 0x00;
inline constexpr uint8_t kScsiCheckCondition = 0x02;
inline constexpr uint16_t kHostTimeOut = 0x03;  // DID_TIME_OUT
inline constexpr uint16_t kDriverTimeOut = 0x06;
inline constexpr uint16_t kDriverSense = 0x08;

/// The fields of a finished sg_io_hdr that decide the outcome.
struct TSgResult {
  uint8_t ScsiStatus = 0;
  uint16_t HostStatus = 0;
  uint16_t DriverStatus = 0;
  const uint8_t* Sense = nullptr;
  size_t SenseLength = 0;  // sb_len_wr
};

/// The outcome of a pass-through command: Win32 code 0 when the command was
/// carried out, otherwise the code of a refused request.
struct TAtaOutcome {
  uint32_t Win32Error = 0;
  TSense Sense;
};

/// Decides on the transport status, the sense key and the ATA status bits
/// (ERR, DF), never on the fixed-format register offsets, which moved between
/// kernel versions.
TAtaOutcome JudgeAtaResult(const TSgResult& result);

}  // namespace quarnel::sgio
