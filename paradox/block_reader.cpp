#include "paradox/block_reader.h"

#include "paradox/bytes.h"
#include "paradox/crypto.h"

#include <algorithm>
#include <array>

namespace velanta::paradox {

std::string baseName(const std::string &path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

BlockReader::BlockReader(std::unique_ptr<File> file, Header header, std::uint32_t blockCount,
                         std::size_t cacheBlocks)
    : file_(std::move(file)), header_(std::move(header)), name_(baseName(file_->path())),
      blockCount_(blockCount), checkValue_(header_.checkValue()),
      slots_(std::clamp<std::size_t>(cacheBlocks, 2, kNoSlot - 1)) {}

namespace {

// A file's header with the number of blocks present after it (a short final block counts).
Result<std::pair<Header, std::uint32_t>> readHeaderAndBlocks(File &file) {
  const std::string name = baseName(file.path());
  auto size = file.size();
  if (!size) return size.takeStatus();
  std::vector<std::uint8_t> start(kMinimumHeaderBytes);
  std::size_t got = 0;
  if (auto status = file.read(0, start, &got); !status) return status;
  start.resize(got);
  const std::uint16_t headerSize = peekHeaderSize(start);
  if (headerSize > kMinimumHeaderBytes) {
    start.resize(headerSize);
    if (auto status = file.read(0, start, &got); !status) return status;
    start.resize(got);
  }
  auto header = parseHeader(start, name);
  if (!header) return header.takeStatus();
  const std::uint64_t dataBytes = *size > header->headerSize ? *size - header->headerSize : 0;
  const auto blockSize = static_cast<std::uint64_t>(header->blockSize());
  const auto present = static_cast<std::uint32_t>(
      std::min<std::uint64_t>((dataBytes + blockSize - 1) / blockSize, 0xFFFF));
  return std::pair{std::move(header).value(), present};
}

} // namespace

Result<std::unique_ptr<BlockReader>> BlockReader::open(std::unique_ptr<File> file,
                                                       std::size_t cacheBlocks) {
  auto header = readHeaderAndBlocks(*file);
  if (!header) return header.takeStatus();
  auto reader = std::unique_ptr<BlockReader>(
      new BlockReader(std::move(file), std::move(header->first), header->second, cacheBlocks));
  reader->clearCache();
  return reader;
}

Status BlockReader::reread() {
  auto header = readHeaderAndBlocks(*file_);
  if (!header) return header.takeStatus();
  if (header->first.blockSize() != header_.blockSize() ||
      header->first.recordSize != header_.recordSize || header->first.checkValue() != checkValue_)
    return corrupt(0, "файл изменён несовместимо");
  header_ = std::move(header->first);
  blockCount_ = header->second;
  clearCache();
  return {};
}

Status BlockReader::corrupt(std::uint32_t block, const std::string &why) const {
  const ErrorCode code = header_.isTable() ? ErrorCode::kHeaderCorrupt : ErrorCode::kIndexCorrupt;
  std::vector<std::string> context{name_};
  if (block != 0) context.push_back("блок " + std::to_string(block));
  if (!why.empty()) context.push_back(why);
  return Status::error(code, std::move(context));
}

std::uint64_t BlockReader::offsetOf(std::uint32_t n) const {
  return header_.headerSize +
         static_cast<std::uint64_t>(n - 1) * static_cast<std::uint64_t>(blockSize());
}

std::span<const std::uint8_t> BlockReader::mappedAt(std::uint64_t offset, std::size_t want) const {
  const std::uint64_t at = std::min(offset, mappedSize_);
  return {mapping_ + at, static_cast<std::size_t>(std::min<std::uint64_t>(mappedSize_ - at, want))};
}

Status BlockReader::fill(Slot &slot, std::uint32_t first, std::uint32_t count, bool fromMapping) {
  const auto size = static_cast<std::size_t>(blockSize());
  slot.first = 0;
  slot.bytes.resize(size * count);
  const std::uint64_t offset = offsetOf(first);
  // Bytes from the mapping are decrypted straight into the slot (no copy by the kernel);
  // bytes read() are read into the slot and decrypted there.
  const std::uint8_t *source = slot.bytes.data();
  std::size_t got = 0;
  if (fromMapping) {
    const auto mapped = mappedAt(offset, size * count);
    source = mapped.data();
    got = mapped.size();
    tookFromMapping(first);
  } else if (auto status = file_->read(offset, slot.bytes, &got); !status) {
    return status;
  }
  // Only blocks with at least their 6-byte header present count; a final block cut short
  // reads as if padded with zeros.
  const auto present = static_cast<std::uint32_t>((got + size - 6) / size);
  if (present == 0) return corrupt(first, "блок обрезан");
  slot.count = std::min(count, present);
  for (std::uint32_t i = 0; i < slot.count; ++i) {
    const std::size_t at = i * size;
    const std::span<std::uint8_t> out = std::span(slot.bytes).subspan(at, size);
    const bool whole = at + size <= got;
    if (checkValue_ != 0 && whole && source != slot.bytes.data()) {
      decryptBlock(std::span(source + at, size), out, checkValue_, first + i);
      continue;
    }
    const std::size_t have = whole ? size : got - at;
    if (source != slot.bytes.data()) std::copy_n(source + at, have, out.begin());
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(have), out.end(), 0);
    if (checkValue_ != 0) decryptBlock(out, checkValue_, first + i);
  }
  slot.first = first;
  return {};
}

Result<const std::uint8_t *> BlockReader::block(std::uint32_t n) {
  if (n == 0 || n > blockCount_) return corrupt(n, "номер блока вне файла");
  const auto size = static_cast<std::size_t>(blockSize());
  // A plain block comes straight from the mapping (no copy) when the reader stays on the block
  // it had from there or goes on to the next; blocks read on their own go through the slots.
  if (const std::uint64_t offset = offsetOf(n);
      checkValue_ == 0 && mapping_ != nullptr && offset + size <= mappedSize_) {
    if (n == lastMapped_) return mapping_ + offset;
    if (n == nextSequential_) {
      tookFromMapping(n);
      nextSequential_ = n + 1;
      return mapping_ + offset;
    }
  }
  std::uint32_t cached = slotOf_[n];
  if (cached == kNoSlot) {
    cached = oldest_;
    if (auto status = load(cached, n); !status) return status;
  }
  markUsed(cached);
  nextSequential_ = n + 1;
  const Slot &slot = slots_[cached];
  return slot.bytes.data() + (n - slot.first) * size;
}

Status BlockReader::load(std::uint32_t i, std::uint32_t n) {
  ++generation_;
  Slot &slot = slots_[i];
  for (std::uint32_t b = slot.first; slot.first != 0 && b < slot.first + slot.count; ++b)
    if (slotOf_[b] == i) slotOf_[b] = kNoSlot;
  // A reader going block after block takes them from the mapping when there is one, one at
  // a time (the slots then stay small enough to remain in the processor's cache), else up to
  // kReadAheadBytes in one read. A block on its own is read(): touching the mapping at random
  // would bring a whole run of the file's pages into memory for every block.
  const bool sequential = n == nextSequential_;
  const bool fromMapping = sequential && mapping_ != nullptr;
  std::uint32_t count = 1;
  if (sequential && !fromMapping)
    count = std::min<std::uint32_t>(
        static_cast<std::uint32_t>(std::max<std::size_t>(kReadAheadBytes / blockSize(), 1)),
        blockCount_ - n + 1);
  if (auto status = fill(slot, n, count, fromMapping); !status) return status;
  for (std::uint32_t b = slot.first; b < slot.first + slot.count; ++b)
    slotOf_[b] = i;
  return {};
}

void BlockReader::markUsed(std::uint32_t i) {
  if (i == newest_) return;
  Slot &slot = slots_[i];
  // Unlink (i is not the newest, so it has a newer neighbour)...
  slots_[slot.newer].older = slot.older;
  if (i == oldest_)
    oldest_ = slot.newer;
  else
    slots_[slot.older].newer = slot.newer;
  // ...and put it in front.
  slot.older = newest_;
  slot.newer = kNoSlot;
  slots_[newest_].newer = i;
  newest_ = i;
}

Result<int> BlockReader::recordCount(const std::uint8_t *block, std::uint32_t n) const {
  const int lastOffset = bytes::getS16le(block + 4);
  if (lastOffset < 0) return 0;
  if (lastOffset % recordSize() != 0)
    return corrupt(n, "смещение последней записи не кратно размеру записи");
  const int count = lastOffset / recordSize() + 1;
  if (count > capacity()) return corrupt(n, "записей больше, чем помещается в блок");
  return count;
}

Result<std::vector<ChainBlock>> BlockReader::walkChain() {
  std::vector<ChainBlock> chain;
  if (header_.firstBlock == 0 || blockCount_ == 0) return chain;
  std::vector<bool> seen(blockCount_ + 1, false);
  std::uint32_t before = 0;
  const auto size = static_cast<std::size_t>(blockSize());
  // Without a mapping, block headers are read through a window of consecutive blocks: chains
  // mostly run forward.
  const auto windowBlocks =
      static_cast<std::uint32_t>(std::max<std::size_t>(kReadAheadBytes / size, 1));
  std::vector<std::uint8_t> window;
  std::uint32_t windowFirst = 0, windowCount = 0;
  std::size_t windowGot = 0;
  // An encrypted block header can only be read with its whole first 256-byte chunk.
  std::array<std::uint8_t, 256> head{};
  const std::size_t headBytes = checkValue_ != 0 ? 256 : 6;
  // How far ahead block heads are asked for while walking (measured: 4 blocks halves the walk
  // of a protected 5 000-block table; 1 gains a third).
  constexpr std::uint32_t kPrefetchAhead = 4;
  for (std::uint32_t n = header_.firstBlock; n != 0;) {
    if (n > blockCount_) return corrupt(n, "номер блока вне файла");
    if (seen[n]) return corrupt(n, "цепочка блоков замкнута в кольцо");
    seen[n] = true;
    // The block's first bytes, as many as the file has of the first headBytes.
    const std::uint8_t *start = nullptr;
    std::size_t have = 0;
    if (mapping_ != nullptr) {
      tookFromMapping(n);
      const auto mapped = mappedAt(offsetOf(n), headBytes);
      start = mapped.data();
      have = mapped.size();
    } else {
      if (windowFirst == 0 || n < windowFirst || n >= windowFirst + windowCount) {
        windowFirst = n;
        windowCount = std::min(windowBlocks, blockCount_ - n + 1);
        window.resize(windowCount * size);
        if (auto status = file_->read(offsetOf(n), window, &windowGot); !status) return status;
      }
      const std::size_t at = (n - windowFirst) * size;
      start = window.data() + std::min(at, windowGot);
      have = at < windowGot ? std::min(headBytes, windowGot - at) : 0;
    }
    if (have < 6) return corrupt(n, "блок обрезан");
    if (checkValue_ != 0 && have == head.size()) {
      decryptBlock(std::span(start, have), head, checkValue_, n);
    } else {
      head.fill(0);
      std::copy_n(start, have, head.begin());
      if (checkValue_ != 0) decryptBlock(head, checkValue_, n);
    }
    auto count = recordCount(head.data(), n);
    if (!count) return count.takeStatus();
    chain.push_back({static_cast<std::uint16_t>(n), static_cast<std::uint16_t>(*count), before});
    before += static_cast<std::uint32_t>(*count);
    n = bytes::getU16le(head.data());
    // Chains mostly run forward: the head of a block a few ahead is asked for from memory now,
    // while this one's successor is being read (each head sits on a page of its own, so the
    // processor would not fetch it ahead by itself). A page not mapped yet is skipped.
    if (mapping_ != nullptr && n != 0 && n + kPrefetchAhead <= blockCount_) {
      const std::uint64_t ahead = offsetOf(n + kPrefetchAhead);
      for (std::size_t at = 0; at < headBytes && ahead + at < mappedSize_; at += 64)
        __builtin_prefetch(mapping_ + ahead + at);
    }
  }
  releaseMappedPages();
  return chain;
}

void BlockReader::releaseMappedPages() {
  if (mapping_ != nullptr) file_->releaseMappedPages();
  mappedSinceRelease_ = 0;
}

void BlockReader::tookFromMapping(std::uint32_t n) {
  // The kernel maps a run of the file's pages around the one touched: a block right after the
  // last one taken costs its own bytes, any other such a run.
  mappedSinceRelease_ +=
      n == lastMapped_ + 1 ? static_cast<std::size_t>(blockSize()) : kMappedRunBytes;
  lastMapped_ = n;
  if (mappedSinceRelease_ >= kReleaseBytes) releaseMappedPages();
}

void BlockReader::clearCache() {
  // The slots in a line from oldest (0) to newest, all empty.
  const auto last = static_cast<std::uint32_t>(slots_.size() - 1);
  for (std::uint32_t i = 0; i <= last; ++i) {
    slots_[i].first = 0;
    slots_[i].older = i == 0 ? kNoSlot : i - 1;
    slots_[i].newer = i == last ? kNoSlot : i + 1;
  }
  oldest_ = 0;
  newest_ = last;
  slotOf_.assign(blockCount_ + 1, kNoSlot);
  nextSequential_ = 0;
  lastMapped_ = 0;
  ++generation_;
  mapping_ = file_->map(mappedSize_);
}

} // namespace velanta::paradox
