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
      slots_(std::max<std::size_t>(cacheBlocks, 2)) {}

Result<std::unique_ptr<BlockReader>> BlockReader::open(std::unique_ptr<File> file,
                                                       std::size_t cacheBlocks) {
  const std::string name = baseName(file->path());
  auto size = file->size();
  if (!size) return size.takeStatus();
  std::vector<std::uint8_t> start(kMinimumHeaderBytes);
  std::size_t got = 0;
  if (auto status = file->read(0, start, &got); !status) return status;
  start.resize(got);
  const std::uint16_t headerSize = peekHeaderSize(start);
  if (headerSize > kMinimumHeaderBytes) {
    start.resize(headerSize);
    if (auto status = file->read(0, start, &got); !status) return status;
    start.resize(got);
  }
  auto header = parseHeader(start, name);
  if (!header) return header.takeStatus();
  const std::uint64_t dataBytes = *size > header->headerSize ? *size - header->headerSize : 0;
  const auto blockSize = static_cast<std::uint64_t>(header->blockSize());
  const auto present = static_cast<std::uint32_t>(
      std::min<std::uint64_t>((dataBytes + blockSize - 1) / blockSize, 0xFFFF));
  auto reader = std::unique_ptr<BlockReader>(
      new BlockReader(std::move(file), std::move(header).value(), present, cacheBlocks));
  reader->clearCache();
  return reader;
}

Status BlockReader::corrupt(std::uint32_t block, const std::string &why) const {
  const ErrorCode code = header_.isTable() ? ErrorCode::kHeaderCorrupt : ErrorCode::kIndexCorrupt;
  std::vector<std::string> context{name_};
  if (block != 0) context.push_back("блок " + std::to_string(block));
  if (!why.empty()) context.push_back(why);
  return Status::error(code, std::move(context));
}

Status BlockReader::fill(Slot &slot, std::uint32_t first, std::uint32_t count) {
  const auto size = static_cast<std::size_t>(blockSize());
  slot.first = 0;
  slot.bytes.resize(size * count);
  std::size_t got = 0;
  const std::uint64_t offset =
      header_.headerSize + static_cast<std::uint64_t>(first - 1) * static_cast<std::uint64_t>(size);
  if (auto status = file_->read(offset, slot.bytes, &got); !status) return status;
  // Only blocks with at least their 6-byte header present count; a final block cut short
  // reads as if padded with zeros.
  const auto present = static_cast<std::uint32_t>((got + size - 6) / size);
  if (present == 0) return corrupt(first, "блок обрезан");
  std::fill(slot.bytes.begin() + static_cast<std::ptrdiff_t>(got), slot.bytes.end(), 0);
  slot.count = std::min(count, present);
  if (checkValue_ != 0)
    for (std::uint32_t i = 0; i < slot.count; ++i)
      decryptBlock(std::span(slot.bytes).subspan(i * size, size), checkValue_, first + i);
  slot.first = first;
  return {};
}

Result<const std::uint8_t *> BlockReader::block(std::uint32_t n) {
  if (n == 0 || n > blockCount_) return corrupt(n, "номер блока вне файла");
  const auto size = static_cast<std::size_t>(blockSize());
  const std::uint64_t offset =
      header_.headerSize + static_cast<std::uint64_t>(n - 1) * static_cast<std::uint64_t>(size);
  if (mapping_ != nullptr && offset + size <= mappedSize_) return mapping_ + offset;
  const auto inside = [n](const Slot &slot) {
    return slot.first != 0 && n >= slot.first && n < slot.first + slot.count;
  };
  ++clock_;
  if (Slot &last = slots_[lastSlot_]; inside(last)) {
    last.lastUse = clock_;
    nextSequential_ = n + 1;
    return last.bytes.data() + (n - last.first) * size;
  }
  std::size_t victim = 0;
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    if (inside(slots_[i])) {
      slots_[i].lastUse = clock_;
      lastSlot_ = i;
      nextSequential_ = n + 1;
      return slots_[i].bytes.data() + (n - slots_[i].first) * size;
    }
    if (slots_[i].lastUse < slots_[victim].lastUse) victim = i;
  }
  // A reader going block after block gets the following blocks in the same read.
  std::uint32_t count = 1;
  if (n == nextSequential_)
    count = std::min<std::uint32_t>(
        static_cast<std::uint32_t>(std::max<std::size_t>(kReadAheadBytes / size, 1)),
        blockCount_ - n + 1);
  Slot &slot = slots_[victim];
  if (auto status = fill(slot, n, count); !status) return status;
  slot.lastUse = clock_;
  lastSlot_ = victim;
  nextSequential_ = n + 1;
  return slot.bytes.data();
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
  // Block headers are read through a window of consecutive blocks: chains mostly run forward.
  const auto windowBlocks =
      static_cast<std::uint32_t>(std::max<std::size_t>(kReadAheadBytes / size, 1));
  std::vector<std::uint8_t> window;
  std::uint32_t windowFirst = 0, windowCount = 0;
  std::size_t windowGot = 0;
  // An encrypted block header can only be read with its whole first 256-byte chunk.
  std::array<std::uint8_t, 256> head{};
  const std::size_t headBytes = checkValue_ != 0 ? 256 : 6;
  for (std::uint32_t n = header_.firstBlock; n != 0;) {
    if (n > blockCount_) return corrupt(n, "номер блока вне файла");
    if (seen[n]) return corrupt(n, "цепочка блоков замкнута в кольцо");
    seen[n] = true;
    const std::uint64_t blockOffset =
        header_.headerSize + static_cast<std::uint64_t>(n - 1) * static_cast<std::uint64_t>(size);
    if (mapping_ != nullptr && blockOffset + 6 <= mappedSize_) {
      std::copy_n(mapping_ + blockOffset, 6, head.begin());
      auto count = recordCount(head.data(), n);
      if (!count) return count.takeStatus();
      chain.push_back({static_cast<std::uint16_t>(n), static_cast<std::uint16_t>(*count), before});
      before += static_cast<std::uint32_t>(*count);
      n = bytes::getU16le(head.data());
      continue;
    }
    if (windowFirst == 0 || n < windowFirst || n >= windowFirst + windowCount) {
      windowFirst = n;
      windowCount = std::min(windowBlocks, blockCount_ - n + 1);
      window.resize(windowCount * size);
      const std::uint64_t offset =
          header_.headerSize + static_cast<std::uint64_t>(n - 1) * static_cast<std::uint64_t>(size);
      if (auto status = file_->read(offset, window, &windowGot); !status) return status;
    }
    const std::size_t at = (n - windowFirst) * size;
    if (windowGot < at + 6) return corrupt(n, "блок обрезан");
    head.fill(0);
    std::copy_n(window.begin() + static_cast<std::ptrdiff_t>(at),
                std::min(headBytes, windowGot - at), head.begin());
    if (checkValue_ != 0) decryptBlock(head, checkValue_, n);
    auto count = recordCount(head.data(), n);
    if (!count) return count.takeStatus();
    chain.push_back({static_cast<std::uint16_t>(n), static_cast<std::uint16_t>(*count), before});
    before += static_cast<std::uint32_t>(*count);
    n = bytes::getU16le(head.data());
  }
  return chain;
}

void BlockReader::clearCache() {
  for (auto &slot : slots_) {
    slot.first = 0;
    slot.lastUse = 0;
  }
  nextSequential_ = 0;
  mapping_ = nullptr;
  mappedSize_ = 0;
  if (checkValue_ == 0) mapping_ = file_->map(mappedSize_);
}

} // namespace velanta::paradox
