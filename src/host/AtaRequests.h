// One ATA command as every path carries it: its registers, the
// ATA_PASS_THROUGH_EX that takes it to a host, and the two allow-lists that
// send each command its own way: the read-only queries one way, the drive's
// own erase (SANITIZE) the other, and nothing else either way. Pure
// functions over bytes, shared by the core, LinuxHost, SimHost and WinHost.
#pragma once

#include <cstdint>
#include <vector>

namespace quarnel {

/// The seven task-file registers, in IDEREGS order.
struct TAtaRegisters {
  uint8_t Features = 0;
  uint8_t SectorCount = 0;
  uint8_t SectorNumber = 0;  // LBA low
  uint8_t CylLow = 0;        // LBA mid
  uint8_t CylHigh = 0;       // LBA high
  uint8_t DriveHead = 0;     // device
  uint8_t Command = 0;
};

/// One command's registers, 28-bit or 48-bit; after the command, the drive's
/// answer (Current.Features its error register, Current.Command its status).
struct TAtaTaskFile {
  TAtaRegisters Current;   // as for a 28-bit command
  TAtaRegisters Previous;  // a 48-bit command's high-order bytes (features 15:8,
                           // count 15:8, LBA 31:24, 39:32, 47:40); zero otherwise
  bool Ext = false;        // a 48-bit command: Previous is sent and comes back

  /// The 48-bit views over both halves.
  uint16_t Features16() const;
  uint16_t Count16() const;
  uint64_t Lba48() const;
  void SetFeatures16(uint16_t value);
  void SetCount16(uint16_t value);
  void SetLba48(uint64_t value);
};

/// The commands the program sends through IOCTL_ATA_PASS_THROUGH.
inline constexpr uint8_t kAtaSanitizeDevice = 0xB4;
inline constexpr uint8_t kAtaGetNativeMaxExt = 0x78;  // ACCESSIBLE MAX ADDRESS CONFIGURATION
inline constexpr uint8_t kAtaReadNativeMaxExt = 0x27;
inline constexpr uint8_t kAtaReadNativeMax = 0xF8;
inline constexpr uint8_t kAtaDeviceConfiguration = 0xB1;
inline constexpr uint8_t kAtaDcoIdentifyFeature = 0xC2;  // DEVICE CONFIGURATION IDENTIFY
inline constexpr uint8_t kAtaStatusErr = 0x01;
inline constexpr uint8_t kAtaStatusDf = 0x20;
inline constexpr uint8_t kAtaStatusDrdy = 0x40;

/// Writes the registers into an IDEREGS (SENDCMDINPARAMS' irDriveRegs, or a
/// task file of ATA_PASS_THROUGH_EX), and reads them back from one.
void PutIderegs(uint8_t* at, const TAtaRegisters& r);
TAtaRegisters IderegsAt(const uint8_t* at);

/// The request buffer: ATA_PASS_THROUGH_EX for `command`, then `dataIn`
/// zero bytes of room for the drive's data (0: a non-data command).
std::vector<uint8_t> BuildAtaPassThrough(const TAtaTaskFile& command, uint32_t dataIn,
                                         uint32_t timeoutSeconds);

/// An IOCTL_ATA_PASS_THROUGH request as a host reads it.
struct TAtaPassThroughRequest {
  TAtaTaskFile TaskFile;  // Previous read for a 48-bit command only
  uint16_t Flags = 0;
  bool DataIn = false;
  uint32_t DataLength = 0;      // DataTransferLength
  uint64_t DataOffset = 0;      // DataBufferOffset: where the data goes in the reply
  uint32_t TimeoutSeconds = 0;  // as given; 0 leaves it to the host
};

/// Reads the header. Returns 0, or ERROR_INVALID_PARAMETER when `in` holds
/// no whole ATA_PASS_THROUGH_EX.
uint32_t ReadAtaPassThrough(const uint8_t* in, uint32_t inSize, TAtaPassThroughRequest* request);

/// Whether the reply fits: a data-in command moves one 512-byte block behind
/// the header. Returns 0 or the Win32 code of the refusal.
uint32_t CheckAtaReplyRoom(const TAtaPassThroughRequest& request, uint32_t outSize);

/// The registers after the command into a reply's task files (a copy of the
/// request; Previous only for a 48-bit command), and out of one.
void PutTaskFile(uint8_t* reply, const TAtaTaskFile& registers);
TAtaTaskFile TaskFileAt(const uint8_t* reply, bool ext);

/// True for a request that carries SANITIZE DEVICE: the hosts send those the
/// erase way, and every other command the way of the read-only queries.
bool IsSanitizeRequest(const uint8_t* in, uint32_t inSize);

/// The read-only queries' allow-list: IDENTIFY DEVICE, GET NATIVE MAX
/// ADDRESS EXT (feature 0000h only), READ NATIVE MAX ADDRESS (EXT), DEVICE
/// CONFIGURATION IDENTIFY; each with its width and direction. Nothing that
/// sets a maximum, changes the overlay or erases.
bool IsAtaQueryCommand(const TAtaTaskFile& command, bool dataIn);

/// The erase allow-list: SANITIZE DEVICE's status read and its three erases,
/// never a freeze lock or anything else that changes the drive's state.
bool IsAtaEraseCommand(const TAtaTaskFile& command);

/// A read-only query: the header, its allow-list (else
/// ERROR_INVALID_FUNCTION), the room for the reply. Returns 0 or the Win32 code.
uint32_t ParseAtaQueryRequest(const uint8_t* in, uint32_t inSize, uint32_t outSize,
                              TAtaPassThroughRequest* request);

/// An erase: the header of a non-data 48-bit command (else
/// ERROR_NOT_SUPPORTED) and room for the reply. Returns 0 or the Win32 code;
/// which commands pass is IsAtaEraseCommand's to say.
uint32_t ParseAtaEraseRequest(const uint8_t* in, uint32_t inSize, uint32_t outSize,
                              TAtaPassThroughRequest* request);

/// Both ways as one check, for a host that hands the request on whole
/// (WinHost): 0 when it may go, else the Win32 code of its refusal.
uint32_t AtaPassThroughRefusal(const uint8_t* in, uint32_t inSize, uint32_t outSize);

}  // namespace quarnel
