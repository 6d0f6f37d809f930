// The summary of a drive's 512-byte IDENTIFY DEVICE block.
#pragma once

#include <cstdint>
#include <string>

namespace quarnel {

inline constexpr size_t kIdentifyBlockSize = 512;

struct T_IDE_PASSPORT {
  std::string name;  // model number, UTF-8
  std::string fw;    // firmware revision
  std::string sn;    // serial number
  bool lba28support = false;
  bool lba48support = false;
  int64_t lba28sectors = 0;
  int64_t lba48sectors = 0;
  int64_t lbasectors = 0;  // the capacity the system uses
  uint8_t readmultiplesectors = 0;
  bool securitysupport = false;
  bool locked = false;     // security enabled (a password is set)
  bool lockedmax = false;  // security level Maximum, else High
  bool hpasupport = false;
  bool smartsupport = false;
  bool smartenabled = false;
  bool aamsupport = false;
  bool dmasupport = false;
  uint8_t dmamodesupport = 0;
  uint8_t dmamodeselected = 0;
  bool isremovable = false;  // never set
  bool ispacket = false;     // never set
  uint32_t buffersize = 0;   // bytes
  int64_t sectorsize = 0;    // always 512 after decoding
  bool QueueSupported = false;
  int64_t QueueDepth = 0;  // word 75 as it stands
  bool StreamingSupported = false;
  std::string wwn;  // words 108-111 as 16 lower-case hex digits; "" when not reported
};

/// Decodes any 512 bytes; never fails, never looks at a signature or checksum.
T_IDE_PASSPORT DecodeIdentifyData(const uint8_t (&block)[kIdentifyBlockSize]);

/// The world wide name of words 108-111 (NAA 5, 64 bits) as 16 lower-case
/// hexadecimal digits, word 108 first; "" unless word 87 is valid (bits 15:14
/// 01b) and says it is reported (bit 8), and the NAA field is 5.
std::string IdentifyWwn(const uint8_t (&block)[kIdentifyBlockSize]);

/// The ATA text of `wordCount` words from word `firstWord`: bytes of each word
/// exchanged, Latin-1, trimmed of characters 20h and below at both ends.
std::string IdentifyText(const uint8_t (&block)[kIdentifyBlockSize], int firstWord, int wordCount);

}  // namespace quarnel
