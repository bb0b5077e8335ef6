// The pending writes of one change to one file: reads see the file with the change applied,
// writes stay in memory (in 256-byte pages, the unit the journal saves) until the change is
// committed through the journal. 256 divides every header, block and .MB chunk size.
#pragma once

#include "paradox/byte_store.h"
#include "paradox/file.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>

namespace velanta::paradox {

inline constexpr std::uint64_t kPageSize = 256;

class PageOverlay final : public ByteStore {
public:
  using Page = std::array<std::uint8_t, kPageSize>;

  // `file` must outlive the overlay. Learns the file's current size.
  static Result<std::unique_ptr<PageOverlay>> over(File &file);

  Status read(std::uint64_t offset, std::span<std::uint8_t> out) override;
  Status write(std::uint64_t offset, std::span<const std::uint8_t> data) override;
  std::uint64_t size() const override { return newSize_; }
  // Makes the file end at `size` when committed (never below what was written since).
  void truncate(std::uint64_t size);

  File &file() { return file_; }
  std::uint64_t originalSize() const { return originalSize_; }
  const std::map<std::uint64_t, Page> &dirtyPages() const { return dirty_; }
  bool changed() const { return !dirty_.empty() || newSize_ != originalSize_; }
  // Forgets every pending write (after a commit, or to abandon a change).
  void reset();

private:
  PageOverlay(File &file, std::uint64_t size) : file_(file), originalSize_(size), newSize_(size) {}
  Status loadPage(std::uint64_t page, Page &out);

  File &file_;
  std::uint64_t originalSize_;
  std::uint64_t newSize_;
  std::map<std::uint64_t, Page> dirty_; // page number -> bytes
};

} // namespace velanta::paradox
