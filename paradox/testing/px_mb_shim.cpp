// Test-only: works around Debian pxlib 0.6.8 reading each .MB block's 12-byte header into a
// 9-byte buffer while it attaches a blob file (a stack overflow that aborts the process).
// pxlib calls px_mb_read through the dynamic symbol table, so this definition is taken in its
// place; it reads into a scratch buffer and hands back only the bytes pxlib has room for.
#include "paradox/testing/pxlib_oracle.h"

#include <cstddef>
#include <cstring>
#include <dlfcn.h>

namespace velanta::paradox::testing {
thread_local bool attachingBlobFile = false;
}

extern "C" std::size_t px_mb_read(void *blob, void *stream, std::size_t len, void *buffer) {
  using Real = std::size_t (*)(void *, void *, std::size_t, void *);
  static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "px_mb_read"));
  if (velanta::paradox::testing::attachingBlobFile && len == 12) {
    unsigned char scratch[12];
    const std::size_t got = real(blob, stream, len, scratch);
    std::memcpy(buffer, scratch, 9);
    return got;
  }
  return real(blob, stream, len, buffer);
}
