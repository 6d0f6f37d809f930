// Memory for unbuffered device writes, aligned to 4096 bytes (a multiple of
// every sector size). Standard aligned allocation, which every system's
// runtime has, unlike aligned_alloc.
#pragma once

#include <cstddef>
#include <new>

#include "base/System.h"

namespace quarnel {

inline constexpr std::size_t kBlockAlignment = 4096;

/// An uninitialised block of `size` bytes; nullptr when there is no memory.
inline void* AllocateAlignedBlock(std::size_t size) {
  return ::operator new (size, std::align_val_t{kBlockAlignment}, std::nothrow);
}

/// Releases a block of AllocateAlignedBlock; nullptr is ignored.
inline void ReleaseAlignedBlock(void* block) {
  if (block) ::operator delete (block, std::align_val_t{kBlockAlignment});
}

struct TAlignedBlockDeleter {
  void operator()(void* block) const { ReleaseAlignedBlock(block); }
};

/// Alignment of the blocks of AllocateLargeBlock: one large page of x86-64
/// and ARM64 Linux.
inline constexpr std::size_t kLargeBlockAlignment = 2097152;

/// A block for transfers of several MiB: aligned to kLargeBlockAlignment
/// and offered large pages where the system has them, so that a transfer
/// pins a few large pages and goes out in fewer, larger requests instead of
/// a thousand 4 KiB pages. nullptr when there is no memory.
inline void* AllocateLargeBlock(std::size_t size) {
  void* block = ::operator new (size, std::align_val_t{kLargeBlockAlignment}, std::nothrow);
  if (block) OfferLargePages(block, size);
  return block;
}

/// Releases a block of AllocateLargeBlock; nullptr is ignored.
inline void ReleaseLargeBlock(void* block) {
  if (block) ::operator delete (block, std::align_val_t{kLargeBlockAlignment});
}

struct TLargeBlockDeleter {
  void operator()(void* block) const { ReleaseLargeBlock(block); }
};

}  // namespace quarnel
