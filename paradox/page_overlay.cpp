#include "paradox/page_overlay.h"

#include <algorithm>
#include <cstring>

namespace velanta::paradox {

Result<std::unique_ptr<PageOverlay>> PageOverlay::over(File &file) {
  auto size = file.size();
  if (!size) return size.takeStatus();
  return std::unique_ptr<PageOverlay>(new PageOverlay(file, *size));
}

Status PageOverlay::loadPage(std::uint64_t page, Page &out) {
  out.fill(0);
  const std::uint64_t offset = page * kPageSize;
  if (offset >= std::min(originalSize_, newSize_)) return {};
  std::size_t got = 0;
  const auto want = static_cast<std::size_t>(
      std::min<std::uint64_t>(kPageSize, std::min(originalSize_, newSize_) - offset));
  return file_.read(offset, std::span(out.data(), want), &got);
}

Status PageOverlay::read(std::uint64_t offset, std::span<std::uint8_t> out) {
  std::fill(out.begin(), out.end(), 0);
  if (out.empty()) return {};
  // One read of the file for the whole range, then the pending pages on top.
  const std::uint64_t limit = std::min(originalSize_, newSize_);
  if (offset < limit) {
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), limit - offset));
    std::size_t got = 0;
    if (Status s = file_.read(offset, out.subspan(0, want), &got); !s) return s;
  }
  const std::uint64_t end = offset + out.size();
  for (auto it = dirty_.lower_bound(offset / kPageSize);
       it != dirty_.end() && it->first * kPageSize < end; ++it) {
    const std::uint64_t pageStart = it->first * kPageSize;
    const std::uint64_t from = std::max(pageStart, offset);
    const std::uint64_t to = std::min(pageStart + kPageSize, end);
    std::memcpy(out.data() + (from - offset), it->second.data() + (from - pageStart),
                static_cast<std::size_t>(to - from));
  }
  return {};
}

Status PageOverlay::write(std::uint64_t offset, std::span<const std::uint8_t> data) {
  std::uint64_t at = offset;
  std::size_t done = 0;
  while (done < data.size()) {
    const std::uint64_t page = at / kPageSize;
    const std::uint64_t inPage = at % kPageSize;
    const auto n =
        static_cast<std::size_t>(std::min<std::uint64_t>(kPageSize - inPage, data.size() - done));
    auto it = dirty_.find(page);
    if (it == dirty_.end()) {
      Page fresh;
      if (Status s = loadPage(page, fresh); !s) return s;
      // Rewriting bytes with what they already hold is no change: the file stays out of the
      // commit (no journal entry, no sync).
      if (page * kPageSize + inPage + n <= std::min(originalSize_, newSize_) &&
          std::memcmp(fresh.data() + inPage, data.data() + done, n) == 0) {
        done += n;
        at += n;
        continue;
      }
      it = dirty_.emplace(page, fresh).first;
    }
    std::memcpy(it->second.data() + inPage, data.data() + done, n);
    done += n;
    at += n;
  }
  newSize_ = std::max(newSize_, offset + data.size());
  return {};
}

void PageOverlay::truncate(std::uint64_t size) {
  for (auto it = dirty_.lower_bound((size + kPageSize - 1) / kPageSize); it != dirty_.end();)
    it = dirty_.erase(it);
  if (!dirty_.empty() && size % kPageSize != 0) {
    auto last = dirty_.find(size / kPageSize);
    if (last != dirty_.end())
      std::fill(last->second.begin() + static_cast<std::ptrdiff_t>(size % kPageSize),
                last->second.end(), 0);
  }
  newSize_ = size;
}

void PageOverlay::reset() {
  dirty_.clear();
  auto size = file_.size();
  originalSize_ = newSize_ = size ? *size : originalSize_;
}

} // namespace velanta::paradox
