#include "platform/compat.h"

#include <cstdlib>
#include <cstring>
#include <new>

// A block is a small record followed by its bytes; the handle points at the record,
// so a handle is never mistaken for the address of the data.
struct GlobalBlock {
  SIZE_T size;
  int lockCount;
  alignas(std::max_align_t) unsigned char data[1];
};

namespace {
// A 32-bit program never gets a single block this large, so a request for one fails
// here as it would there (a crafted header cannot make the native build exhaust memory).
constexpr SIZE_T kLargestBlock = SIZE_T{1} << 30;
}  // namespace

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
  if (bytes > kLargestBlock) return nullptr;
  const SIZE_T total = offsetof(GlobalBlock, data) + (bytes ? bytes : 1);
  void* memory = (flags & GMEM_ZEROINIT) ? std::calloc(1, total) : std::malloc(total);
  if (!memory) return nullptr;
  auto* block = static_cast<GlobalBlock*>(memory);
  block->size = bytes;
  block->lockCount = 0;
  return block;
}

HGLOBAL GlobalFree(HGLOBAL block) {
  std::free(block);
  return nullptr;
}

void* GlobalLock(HGLOBAL block) {
  if (!block) return nullptr;
  ++block->lockCount;
  return block->data;
}

BOOL GlobalUnlock(HGLOBAL block) {
  if (!block || block->lockCount == 0) return 0;
  return --block->lockCount != 0;
}

SIZE_T GlobalSize(HGLOBAL block) { return block ? block->size : 0; }
