// Memory for unbuffered device writes, aligned to 4096 bytes (a multiple of
// every sector size). Standard aligned allocation, which every system's
// runtime has, unlike aligned_alloc.
#pragma once

#include <cstddef>
#include <new>

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

}  // namespace quarnel
