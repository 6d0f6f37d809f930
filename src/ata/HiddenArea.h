// Sectors an ATA drive hides from the system: the host protected area (the
// native maximum above the sectors reported) and the device configuration
// overlay (a factory maximum above the native one). Read only: the queries
// are IDENTIFY DEVICE, GET NATIVE MAX ADDRESS EXT or READ NATIVE MAX ADDRESS
// (EXT), and DEVICE CONFIGURATION IDENTIFY; nothing that sets a maximum.
#pragma once

#include <cstdint>
#include <string>

#include "ata/AtaPassThrough.h"
#include "host/BusType.h"

namespace quarnel {

/// False for the buses whose drives have no host protected area or DCO to
/// ask about: NVMe, SD and MMC cards, virtual and file-backed disks, storage
/// spaces, SCM and UFS. Any other drive may be an ATA drive, perhaps behind a
/// bridge, and is asked.
bool HiddenAreasPossible(TBusType bus);

/// Why nothing can be told of a drive that answers no IDENTIFY DEVICE.
inline constexpr const char* kHiddenAreaNoAta = "驱动器不接受 ATA 命令 (IDENTIFY DEVICE 失败)";

/// What IDENTIFY DEVICE says about the drive's maxima.
struct THiddenAreaSupport {
  int64_t CurrentSectors = 0;  // words 100-103 with 48-bit addressing, else words 60-61
  bool Lba48 = false;          // word 83 bit 10
  bool AccessibleMax = false;  // word 119 bit 8: GET NATIVE MAX ADDRESS EXT
  bool HpaSupported = false;   // word 82 bit 10
  bool HpaEnabled = false;     // word 85 bit 10
  bool DcoSupported = false;   // word 83 bit 11
};

/// Which command asks for the native maximum.
enum class TNativeMaxCommand { GetNativeMaxExt, ReadNativeMaxExt, ReadNativeMax };

THiddenAreaSupport HiddenAreaSupport(const TAtaBlock& identify);
TNativeMaxCommand NativeMaxCommandFor(const THiddenAreaSupport& support);

/// The registers of the three native-maximum queries and of DEVICE
/// CONFIGURATION IDENTIFY for drive number 0 (master) or 1 (slave).
TAtaTaskFile NativeMaxTaskFile(TNativeMaxCommand command, uint8_t driveNumber);
TAtaTaskFile DcoIdentifyTaskFile(uint8_t driveNumber);

/// The native maximum address (the last LBA) in the registers a query
/// returned: 48 bits for the EXT commands, 28 for READ NATIVE MAX ADDRESS.
uint64_t NativeMaxAddress(TNativeMaxCommand command, const TAtaTaskFile& returned);

/// The DEVICE CONFIGURATION IDENTIFY data: its maximum LBA (words 3-6) when
/// word 255 holds the signature A5h and a checksum that makes the 512 bytes
/// sum to 0; otherwise -1 and *why says what is wrong.
int64_t DcoMaximumAddress(const uint8_t* block, std::string* why);

/// The drive's hidden areas as far as they can be told.
struct THiddenAreaQuery {
  bool Ata = false;            // IDENTIFY DEVICE answered
  THiddenAreaSupport Support;  // from that IDENTIFY
  std::string NativeCommand;   // the query used ("READ NATIVE MAX ADDRESS EXT", ...)
  int64_t NativeMax = -1;      // sectors up to the native maximum; -1: unknown
  std::string NativeReason;    // why unknown
  int64_t DcoMax = -1;         // sectors up to the overlay's maximum; -1: none or unknown
  std::string DcoReason;       // why unknown ("" with DcoMax -1: the drive has no DCO)
  /// The native maximum is known, and so is the DCO's (or there is none).
  bool Determined() const;
  /// Sectors above the reported ones up to the native maximum, and from
  /// there up to the DCO's; 0 where unknown.
  int64_t HpaSectors() const;
  int64_t DcoSectors() const;
};

/// Asks the drive behind `handle` (IDENTIFY through the SMART requests as the
/// details report does, the rest through IOCTL_ATA_PASS_THROUGH). A reply is
/// believed only when it makes sense: a native maximum below the sectors
/// reported, or a DCO maximum below the native one, is a bridge's invention.
THiddenAreaQuery QueryHiddenArea(THandle handle, uint8_t driveNumber);

/// The same from an IDENTIFY block already read.
THiddenAreaQuery QueryHiddenArea(THandle handle, uint8_t driveNumber, const TAtaBlock& identify);

}  // namespace quarnel
