// Little-endian field access into raw request and reply buffers.
#pragma once

#include <cstdint>
#include <cstring>

namespace quarnel {

inline uint16_t GetU16(const uint8_t* p, size_t off) {
  return static_cast<uint16_t>(p[off] | (p[off + 1] << 8));
}
inline uint32_t GetU32(const uint8_t* p, size_t off) {
  return static_cast<uint32_t>(p[off]) | (static_cast<uint32_t>(p[off + 1]) << 8) |
         (static_cast<uint32_t>(p[off + 2]) << 16) | (static_cast<uint32_t>(p[off + 3]) << 24);
}
inline uint64_t GetU64(const uint8_t* p, size_t off) {
  return static_cast<uint64_t>(GetU32(p, off)) | (static_cast<uint64_t>(GetU32(p, off + 4)) << 32);
}
inline void PutU16(uint8_t* p, size_t off, uint16_t v) {
  p[off] = static_cast<uint8_t>(v);
  p[off + 1] = static_cast<uint8_t>(v >> 8);
}
inline void PutU32(uint8_t* p, size_t off, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[off + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutU64(uint8_t* p, size_t off, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[off + i] = static_cast<uint8_t>(v >> (8 * i));
}

/// The bytes added up modulo 256: 0 for an ATA data block (IDENTIFY, SMART
/// data, a log, a DCO reply) whose last byte is its checksum.
inline uint8_t ByteSum(const uint8_t* p, size_t size) {
  uint8_t sum = 0;
  for (size_t i = 0; i < size; ++i) sum = static_cast<uint8_t>(sum + p[i]);
  return sum;
}

/// Sets the last byte so that the block's bytes add up to 0.
inline void SetChecksumByte(uint8_t* p, size_t size) {
  p[size - 1] = static_cast<uint8_t>(-ByteSum(p, size - 1));
}

}  // namespace quarnel
