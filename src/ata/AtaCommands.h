// ATA commands carried to a drive by the SMART device-control requests and
// the SCSI miniport IDENTIFY request. None of them writes a log line.
#pragma once

#include <cstdint>

#include "host/AtaRequests.h"
#include "host/Host.h"

namespace quarnel {

inline constexpr size_t kAtaBlockSize = 512;
using TAtaBlock = uint8_t[kAtaBlockSize];

/// A0h for the master (drive number 0), B0h for the slave (1).
uint8_t DriveHeadFor(uint8_t driveNumber);

/// A non-data command through SMART_SEND_DRIVE_COMMAND. Return false on refusal.
bool SmartSendCommand(THandle handle, uint8_t driveNumber, const TAtaRegisters& registers);

/// A data-in command through SMART_RCV_DRIVE_DATA. True when the request
/// succeeded with at least 512 bytes; `data` then holds the last 512 of them.
bool SmartReceiveBlock(THandle handle, uint8_t driveNumber, const TAtaRegisters& registers,
                       TAtaBlock& data);

/// As SmartReceiveBlock, through SMART_SEND_DRIVE_COMMAND.
bool SmartSendCommandBlock(THandle handle, uint8_t driveNumber, const TAtaRegisters& registers,
                           TAtaBlock& data);

/// SMART ENABLE OPERATIONS. Return false on refusal.
bool SmartEnableOperations(THandle handle, uint8_t driveNumber);

/// SMART DISABLE OPERATIONS. Return false on refusal.
bool SmartDisableOperations(THandle handle, uint8_t driveNumber);

/// SMART READ DATA through the receive request, else through the send request.
bool SmartReadData(THandle handle, uint8_t driveNumber, TAtaBlock& data);

/// The drive's answer to SMART RETURN STATUS.
enum class TSmartReturnStatus { NoAnswer, Passed, Failed };

/// SMART RETURN STATUS through SMART_SEND_DRIVE_COMMAND: the drive answers in
/// the cylinder registers, which the reply holds as IDEREGS in bBuffer.
/// NoAnswer when the request fails or the registers hold neither answer (a
/// driver that returns no registers leaves them zero).
TSmartReturnStatus SmartReturnStatus(THandle handle, uint8_t driveNumber);

/// The SMART data page's attribute table: 30 entries of 12 bytes from byte 2,
/// an entry with id 0 ending it.
inline constexpr int kSmartAttributeSlots = 30;
inline constexpr size_t kSmartEntrySize = 12;
inline constexpr size_t kSmartFirstEntry = 2;
using TSmartEntry = uint8_t[kSmartEntrySize];

/// The 48-bit raw value of an entry (bytes 5..10, little-endian).
uint64_t SmartRawValue(const TSmartEntry& entry);

/// The SMART data page. On an ATA drive (`ataBus`) SMART is switched on for
/// the read and off again afterwards unless IDENTIFY says it was on: SMART
/// DISABLE persists across power cycles. Return false when no page came.
bool ReadSmartPage(THandle handle, bool ataBus, uint8_t driveNumber, TAtaBlock& page);

/// SMART READ LOG of one sector of the log at `address` through
/// SMART_RCV_DRIVE_DATA, else SMART_SEND_DRIVE_COMMAND. Return false on refusal.
bool SmartReadLog(THandle handle, uint8_t driveNumber, uint8_t address, TAtaBlock& log);

/// Where the SMART data page says the drive keeps a self-test log (byte 367 bit 4).
bool SmartPageOffersSelfTest(const TAtaBlock& page);

/// As ReadSmartPage, and when the page came, SMART READ THRESHOLDS into
/// `thresholds` (and RETURN STATUS into *status when given) while SMART is
/// still on. *thresholdsRead says whether they came. With `selfTestLog`,
/// also its self-test log (06h) where the page offers one; *selfTestLogRead
/// says whether it came.
bool ReadSmartPage(THandle handle, bool ataBus, uint8_t driveNumber, TAtaBlock& page,
                   TAtaBlock& thresholds, bool* thresholdsRead,
                   TSmartReturnStatus* status = nullptr, TAtaBlock* selfTestLog = nullptr,
                   bool* selfTestLogRead = nullptr);

/// IDENTIFY DEVICE through SMART_GET_VERSION and SMART_RCV_DRIVE_DATA, else
/// through IOCTL_SCSI_MINIPORT. `data` is untouched when both routes fail.
bool ReadIdentifyData(THandle handle, uint8_t driveNumber, TAtaBlock& data);

}  // namespace quarnel
