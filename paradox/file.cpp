#include "paradox/file.h"

namespace velanta::paradox {

Status File::readExact(std::uint64_t offset, std::span<std::uint8_t> out) {
  std::size_t got = 0;
  if (auto status = read(offset, out, &got); !status) return status;
  if (got != out.size())
    return Status::error(ErrorCode::kIoError,
                         {path_, "чтение за концом файла, смещение " + std::to_string(offset)});
  return {};
}

std::string joinPath(std::string_view directory, std::string_view name) {
  if (directory.empty()) return std::string(name);
  std::string path(directory);
  if (path.back() != '/') path += '/';
  path += name;
  return path;
}

} // namespace velanta::paradox
