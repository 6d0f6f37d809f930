// Memory for large transfers: large pages where the system offers them, and
// a block of zeros that costs nothing.
#include <sys/mman.h>

#include "base/System.h"

namespace quarnel {

void OfferLargePages(void* block, size_t size) {
#ifdef MADV_HUGEPAGE
  ::madvise(block, size, MADV_HUGEPAGE);
#else
  (void)block;
  (void)size;
#endif
}

// A private anonymous mapping that is only ever read is backed by the
// kernel's shared zero page (or its huge zero page): however large, it adds
// nothing to the process's resident memory, and a direct write from it
// sends zeros. Read-only, so nothing can put anything else in it.
void* AllocateZeroBlock(size_t size) {
  void* block = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED) return nullptr;
  OfferLargePages(block, size);
  return block;
}

void ReleaseZeroBlock(void* block, size_t size) {
  if (block) ::munmap(block, size);
}

}  // namespace quarnel
