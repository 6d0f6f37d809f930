#include "host/linux/SgIoErase.h"

namespace quarnel::sgio {

namespace {
constexpr uint8_t kNonDataExtend = (3 << 1) | 0x01;  // protocol 3, EXTEND
constexpr uint8_t kCheckCondition = 0x20;            // CK_COND, no transfer
constexpr uint8_t kDescriptorAtaStatusReturn = 0x09;

uint8_t Byte(uint64_t value, int index) { return static_cast<uint8_t>(value >> (8 * index)); }
}  // namespace

std::array<uint8_t, 16> BuildAtaPassThrough16Ext(const TAtaCommand48& c) {
  return {0x85,
          kNonDataExtend,
          kCheckCondition,
          Byte(c.Features, 1),
          Byte(c.Features, 0),
          Byte(c.Count, 1),
          Byte(c.Count, 0),
          Byte(c.Lba, 3),
          Byte(c.Lba, 0),
          Byte(c.Lba, 4),
          Byte(c.Lba, 1),
          Byte(c.Lba, 5),
          Byte(c.Lba, 2),
          c.Device,
          c.Command,
          0};
}

bool ParseAtaReturn48(const uint8_t* s, size_t length, TAtaReturn48* r) {
  if (s == nullptr || length < 8 || ((s[0] & 0x7F) != 0x72 && (s[0] & 0x7F) != 0x73)) {
    return false;
  }
  const size_t end = length < 8 + size_t{s[7]} ? length : 8 + size_t{s[7]};
  for (size_t at = 8; at + 2 <= end; at += 2 + size_t{s[at + 1]}) {
    if (s[at] != kDescriptorAtaStatusReturn || at + 14 > end) continue;
    const uint8_t* d = s + at;
    const bool extend = (d[2] & 0x01) != 0;
    *r = TAtaReturn48{};
    r->Error = d[3];
    r->Count = static_cast<uint16_t>(d[5] | (extend ? d[4] << 8 : 0));
    r->Lba = uint64_t{d[7]} | (uint64_t{d[9]} << 8) | (uint64_t{d[11]} << 16);
    if (extend) r->Lba |= (uint64_t{d[6]} << 24) | (uint64_t{d[8]} << 32) | (uint64_t{d[10]} << 40);
    r->Device = d[12];
    r->Status = d[13];
    return true;
  }
  return false;
}

}  // namespace quarnel::sgio
