#include "paradox/blob_file.h"

#include "paradox/block_reader.h"
#include "paradox/bytes.h"
#include "paradox/crypto.h"

#include <algorithm>

namespace velanta::paradox {

BlobFile::BlobFile(std::unique_ptr<File> file, std::uint32_t checkValue)
    : file_(std::move(file)), checkValue_(checkValue) {}

Status BlobFile::corrupt(ErrorCode code, std::uint64_t offset, const std::string &why) const {
  return Status::error(code, {baseName(file_->path()), "смещение " + std::to_string(offset), why});
}

// Reads [offset, offset + size) decrypted into `out` (which holds exactly those bytes after).
Status BlobFile::readPlain(std::uint64_t offset, std::size_t size, std::vector<std::uint8_t> &out) {
  if (checkValue_ == 0) {
    out.resize(size);
    std::size_t got = 0;
    if (auto status = file_->read(offset, out, &got); !status) return status;
    if (got != size)
      return corrupt(ErrorCode::kMemoCorrupt, offset, "значение выходит за конец файла");
    return {};
  }
  // Encrypted in 256-byte chunks aligned on the file: read the covering chunks.
  const std::uint64_t start = offset & ~std::uint64_t{255};
  const std::uint64_t end = (offset + size + 255) & ~std::uint64_t{255};
  scratch_.resize(static_cast<std::size_t>(end - start));
  std::size_t got = 0;
  if (auto status = file_->read(start, scratch_, &got); !status) return status;
  if (got < offset + size - start)
    return corrupt(ErrorCode::kMemoCorrupt, offset, "значение выходит за конец файла");
  decryptBlobRange(scratch_, checkValue_);
  const auto from = scratch_.begin() + static_cast<std::ptrdiff_t>(offset - start);
  out.assign(from, from + static_cast<std::ptrdiff_t>(size));
  return {};
}

Status readInlineBlob(const Blob &blob, std::vector<std::uint8_t> &out) {
  if (!blob.isInline()) return Status::error(ErrorCode::kBlobFileMissing);
  out.assign(blob.leader.begin(), blob.leader.begin() + blob.length);
  return {};
}

Status BlobFile::read(const Blob &blob, std::vector<std::uint8_t> &out) {
  if (blob.isInline() && blob.blockOffset == 0) return readInlineBlob(blob, out);
  const std::uint64_t base = blob.blockOffset;
  if (base == 0) return corrupt(ErrorCode::kMemoCorrupt, base, "указатель на заголовок файла");
  auto size = file_->size();
  if (!size) return size.takeStatus();
  if (base >= *size) return corrupt(ErrorCode::kMemoCorrupt, base, "указатель за концом файла");

  std::vector<std::uint8_t> &head = head_; // kept between calls: no allocation per value
  if (blob.index == 0xFF) {
    if (auto status = readPlain(base, 9, head); !status) return status;
    if (head[0] != 2) return corrupt(ErrorCode::kMemoCorrupt, base, "блок не содержит значения");
    const std::uint64_t units = bytes::getU16le(head.data() + 1);
    const std::uint32_t length = bytes::getU32le(head.data() + 3);
    const std::uint16_t modification = bytes::getU16le(head.data() + 7);
    if (9 + static_cast<std::uint64_t>(length) > units * 4096)
      return corrupt(ErrorCode::kMemoCorrupt, base, "длина больше блока");
    if (length != blob.length || modification != blob.modification)
      return corrupt(ErrorCode::kBlobModified, base, "длина или номер изменения не совпадают");
    if (base + 9 + length > *size)
      return corrupt(ErrorCode::kMemoCorrupt, base, "значение выходит за конец файла");
    return readPlain(base + 9, length, out);
  }

  if (blob.index >= 64) return corrupt(ErrorCode::kMemoCorrupt, base, "номер элемента вне блока");
  if (auto status = readPlain(base, 4096, head); !status) return status;
  if (head[0] != 3) return corrupt(ErrorCode::kMemoCorrupt, base, "блок не разбит на элементы");
  const std::uint8_t *entry = head.data() + 0x0C + 5 * blob.index;
  const std::size_t dataAt = 16u * entry[0];
  const std::size_t chunks = entry[1];
  const std::uint16_t modification = bytes::getU16le(entry + 2);
  const std::size_t lastBytes = entry[4];
  if (dataAt == 0) return corrupt(ErrorCode::kMemoCorrupt, base, "элемент освобождён");
  if (chunks == 0 || lastBytes == 0 || lastBytes > 16 || dataAt < 0x150)
    return corrupt(ErrorCode::kMemoCorrupt, base, "элемент повреждён");
  const std::size_t length = (chunks - 1) * 16 + lastBytes;
  if (dataAt + length > 4096)
    return corrupt(ErrorCode::kMemoCorrupt, base, "элемент выходит за блок");
  if (length != blob.length || modification != blob.modification)
    return corrupt(ErrorCode::kBlobModified, base, "длина или номер изменения не совпадают");
  out.assign(head.begin() + static_cast<std::ptrdiff_t>(dataAt),
             head.begin() + static_cast<std::ptrdiff_t>(dataAt + length));
  return {};
}

} // namespace velanta::paradox
