#include "ata/IdentifyDecode.h"

#include "base/Text.h"
#include "host/Bytes.h"

namespace quarnel {

namespace {

// The text area the ATA strings are laid into before conversion.
constexpr size_t kTextArea = 80;

uint16_t Word(const uint8_t* b, int n) { return GetU16(b, static_cast<size_t>(2 * n)); }

bool Bit(uint16_t word, int bit) { return ((word >> bit) & 1) != 0; }

// Number of the highest set bit among `count` bits from `first`; 0 when none.
uint8_t HighestBit(uint16_t word, int first, int count) {
  uint8_t highest = 0;
  for (int i = 0; i < count; ++i) {
    if (Bit(word, first + i)) highest = static_cast<uint8_t>(i);
  }
  return highest;
}

void DecodeAddressing(const uint8_t* b, T_IDE_PASSPORT& p) {
  p.lba28support = Bit(Word(b, 49), 9);
  if (p.lba28support) {
    p.lba28sectors = static_cast<int64_t>(GetU32(b, 2 * 60));
    // A count with bit 63 set is negative and so never above the 28-bit one.
    const auto lba48 = static_cast<int64_t>(GetU64(b, 2 * 100));
    if (Bit(Word(b, 83), 10) && lba48 > p.lba28sectors) {
      p.lba48support = true;
      p.lba48sectors = lba48;
    }
  }
  p.lbasectors = p.lba48support ? p.lba48sectors : p.lba28sectors;
}

void DecodeFeatures(const uint8_t* b, T_IDE_PASSPORT& p) {
  const uint16_t w82 = Word(b, 82);
  p.securitysupport = Bit(w82, 1);
  if (p.securitysupport) {
    // Bit 1 is "security enabled"; bit 2 (locked until unlocked) is not used.
    p.locked = Bit(Word(b, 128), 1);
    p.lockedmax = Bit(Word(b, 128), 8);
  }
  p.hpasupport = Bit(w82, 10);
  p.smartsupport = Bit(w82, 0);
  if (p.smartsupport) p.smartenabled = Bit(Word(b, 85), 0);
  p.aamsupport = Bit(Word(b, 83), 9);
  p.dmasupport = Bit(Word(b, 49), 8) && Bit(Word(b, 53), 2);
  if (p.dmasupport) {
    p.dmamodesupport = HighestBit(Word(b, 88), 0, 7);
    p.dmamodeselected = HighestBit(Word(b, 88), 8, 7);
  }
  p.StreamingSupported = Bit(Word(b, 84), 4);
}

}  // namespace

std::string IdentifyText(const uint8_t (&block)[kIdentifyBlockSize], int firstWord, int wordCount) {
  std::string area(kTextArea, '\0');
  for (int i = 0; i < wordCount && 2 * i + 1 < static_cast<int>(kTextArea); ++i) {
    const uint16_t w = Word(block, firstWord + i);
    area[2 * i] = static_cast<char>(w >> 8);
    area[2 * i + 1] = static_cast<char>(w & 0xFF);
  }
  // Latin-1 keeps every character below 80h as the byte and never yields a
  // code of 20h or less from a byte above it, so trimming after conversion
  // equals trimming the bytes.
  return UnambiguousText(Trim(Latin1ToUtf8(area)));
}

std::string IdentifyWwn(const uint8_t (&block)[kIdentifyBlockSize]) {
  const uint16_t w87 = Word(block, 87);
  if ((w87 & 0xC000) != 0x4000 || !Bit(w87, 8)) return "";
  // Only NAA 5 (IEEE registered) is defined for ATA; anything else is noise.
  if ((Word(block, 108) >> 12) != 5) return "";
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (int n = 108; n <= 111; ++n) {
    const uint16_t w = Word(block, n);
    for (int shift = 12; shift >= 0; shift -= 4) text += digits[(w >> shift) & 0xF];
  }
  return text;
}

T_IDE_PASSPORT DecodeIdentifyData(const uint8_t (&block)[kIdentifyBlockSize]) {
  T_IDE_PASSPORT p;
  const uint8_t* b = block;
  p.sn = IdentifyText(block, 10, 10);
  p.fw = IdentifyText(block, 23, 4);
  p.name = IdentifyText(block, 27, 20);
  DecodeAddressing(b, p);
  p.readmultiplesectors = static_cast<uint8_t>(Word(b, 47) & 0xFF);
  DecodeFeatures(b, p);
  p.buffersize = static_cast<uint32_t>(Word(b, 21)) * 512u;
  p.sectorsize = 512;
  const uint16_t w75 = Word(b, 75);
  if (w75 != 0) {
    p.QueueSupported = true;
    p.QueueDepth = w75;
  }
  p.wwn = IdentifyWwn(block);
  return p;
}

}  // namespace quarnel
