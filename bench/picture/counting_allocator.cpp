#include "counting_allocator.h"

#include <malloc.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <unistd.h>

// glibc's own allocator under its internal names, which the replacements below call.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* pointer);
}

namespace {

std::atomic<int64_t> held{0};
std::atomic<int64_t> peak{0};

void Count(int64_t change) {
  const int64_t now = held.fetch_add(change, std::memory_order_relaxed) + change;
  int64_t seen = peak.load(std::memory_order_relaxed);
  while (now > seen && !peak.compare_exchange_weak(seen, now, std::memory_order_relaxed)) {
  }
}

int64_t SizeOf(void* pointer) { return pointer ? static_cast<int64_t>(malloc_usable_size(pointer)) : 0; }

void* Counted(void* pointer) {
  Count(SizeOf(pointer));
  return pointer;
}

}  // namespace

extern "C" {

void* malloc(size_t size) { return Counted(__libc_malloc(size)); }
void* calloc(size_t count, size_t size) { return Counted(__libc_calloc(count, size)); }
void free(void* pointer) {
  Count(-SizeOf(pointer));
  __libc_free(pointer);
}
void* realloc(void* pointer, size_t size) {
  const int64_t before = SizeOf(pointer);
  void* moved = __libc_realloc(pointer, size);
  if (moved) Count(SizeOf(moved) - before);
  else if (size == 0) Count(-before);  // realloc(p, 0) freed p
  return moved;
}
void* memalign(size_t alignment, size_t size) { return Counted(__libc_memalign(alignment, size)); }
void* aligned_alloc(size_t alignment, size_t size) { return memalign(alignment, size); }
void* valloc(size_t size) { return memalign(static_cast<size_t>(sysconf(_SC_PAGESIZE)), size); }
void* pvalloc(size_t size) {
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  return memalign(page, (size + page - 1) / page * page);
}
int posix_memalign(void** out, size_t alignment, size_t size) {
  void* pointer = memalign(alignment, size);
  if (!pointer && size != 0) return ENOMEM;
  *out = pointer;
  return 0;
}

}  // extern "C"

namespace orvelle::bench {

int64_t HeldBytes() { return held.load(std::memory_order_relaxed); }

int64_t ResetPeak() {
  const int64_t now = HeldBytes();
  peak.store(now, std::memory_order_relaxed);
  return now;
}

int64_t PeakBytes() { return peak.load(std::memory_order_relaxed); }

}  // namespace orvelle::bench
