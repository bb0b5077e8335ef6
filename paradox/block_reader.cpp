#include "paradox/block_reader.h"

#include "paradox/bytes.h"
#include "paradox/crypto.h"

#include <algorithm>

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
  return std::unique_ptr<BlockReader>(
      new BlockReader(std::move(file), std::move(header).value(), present, cacheBlocks));
}

Status BlockReader::corrupt(std::uint32_t block, const std::string &why) const {
  const ErrorCode code = header_.isTable() ? ErrorCode::kHeaderCorrupt : ErrorCode::kIndexCorrupt;
  std::vector<std::string> context{name_};
  if (block != 0) context.push_back("блок " + std::to_string(block));
  if (!why.empty()) context.push_back(why);
  return Status::error(code, std::move(context));
}

Result<const std::uint8_t *> BlockReader::block(std::uint32_t n) {
  if (n == 0 || n > blockCount_) return corrupt(n, "номер блока вне файла");
  ++clock_;
  Slot *victim = &slots_.front();
  for (auto &slot : slots_) {
    if (slot.block == n) {
      slot.lastUse = clock_;
      return slot.bytes.data();
    }
    if (slot.lastUse < victim->lastUse) victim = &slot;
  }
  const auto size = static_cast<std::size_t>(blockSize());
  victim->bytes.resize(size);
  victim->block = 0;
  std::size_t got = 0;
  const std::uint64_t offset =
      header_.headerSize + static_cast<std::uint64_t>(n - 1) * static_cast<std::uint64_t>(size);
  if (auto status = file_->read(offset, victim->bytes, &got); !status) return status;
  if (got < 6) return corrupt(n, "блок обрезан");
  std::fill(victim->bytes.begin() + static_cast<std::ptrdiff_t>(got), victim->bytes.end(), 0);
  if (checkValue_ != 0) decryptBlock(victim->bytes, checkValue_, n);
  victim->block = n;
  victim->lastUse = clock_;
  return victim->bytes.data();
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
  // An encrypted block header can only be read with its whole first 256-byte chunk.
  std::vector<std::uint8_t> head(checkValue_ != 0 ? 256 : 6);
  for (std::uint32_t n = header_.firstBlock; n != 0;) {
    if (n > blockCount_) return corrupt(n, "номер блока вне файла");
    if (seen[n]) return corrupt(n, "цепочка блоков замкнута в кольцо");
    seen[n] = true;
    const std::uint64_t offset = header_.headerSize + static_cast<std::uint64_t>(n - 1) *
                                                          static_cast<std::uint64_t>(blockSize());
    std::size_t got = 0;
    std::fill(head.begin(), head.end(), 0);
    if (auto status = file_->read(offset, head, &got); !status) return status;
    if (got < 6) return corrupt(n, "блок обрезан");
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
    slot.block = 0;
    slot.lastUse = 0;
  }
}

} // namespace velanta::paradox
