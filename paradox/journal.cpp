#include "paradox/journal.h"

#include "paradox/bytes.h"
#include "paradox/table_lock.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace velanta::paradox {
namespace {

constexpr char kMagic[8] = {'V', 'L', 'N', 'T', 'J', 'R', 'N', 'L'};
constexpr char kEndMark[8] = {'J', 'R', 'N', 'L', 'D', 'O', 'N', 'E'};

std::uint64_t fnv1a(std::span<const std::uint8_t> data) {
  std::uint64_t h = 1469598103934665603ULL;
  for (std::uint8_t b : data) {
    h ^= b;
    h *= 1099511628211ULL;
  }
  return h;
}

void putU64(std::vector<std::uint8_t> &out, std::uint64_t v) {
  for (int i = 0; i < 8; ++i)
    out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void putU32(std::vector<std::uint8_t> &out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
std::uint64_t getU64(const std::uint8_t *p) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i)
    v = (v << 8) | p[i];
  return v;
}

std::string directoryOf(const std::string &path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}
// Makes the creation or removal of a file in the table's folder durable (on the real file
// system; the memory one keeps no directory state to lose).
Status syncDirectory(FileSystem &fs, const std::string &dbPath) {
  if (&fs != &posixFileSystem()) return {};
  const std::string directory = directoryOf(dbPath);
  const int fd =
      ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return Status::error(ErrorCode::kIoError, {directory});
  const int rc = ::fsync(fd);
  ::close(fd);
  return rc == 0 ? Status() : Status::error(ErrorCode::kIoError, {directory});
}

std::string nameOf(const std::string &path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The journal's bytes: per file its name, original size and the original bytes of the pages
// the change will overwrite (only the part that existed before).
Result<std::vector<std::uint8_t>> buildJournal(const std::vector<JournalTarget> &targets) {
  std::vector<std::uint8_t> out(kMagic, kMagic + 8);
  putU32(out, static_cast<std::uint32_t>(targets.size()));
  for (const JournalTarget &t : targets) {
    const std::string name = nameOf(t.path);
    putU32(out, static_cast<std::uint32_t>(name.size()));
    out.insert(out.end(), name.begin(), name.end());
    const std::uint64_t original = t.overlay->originalSize();
    putU64(out, original);
    std::vector<std::uint64_t> pages;
    for (const auto &[page, bytes] : t.overlay->dirtyPages())
      if (page * kPageSize < original) pages.push_back(page);
    putU32(out, static_cast<std::uint32_t>(pages.size()));
    for (std::uint64_t page : pages) {
      const std::uint64_t offset = page * kPageSize;
      const auto length =
          static_cast<std::size_t>(std::min<std::uint64_t>(kPageSize, original - offset));
      std::vector<std::uint8_t> bytes(length);
      std::size_t got = 0;
      if (Status s = t.overlay->file().read(offset, bytes, &got); !s) return s;
      putU64(out, offset);
      putU32(out, static_cast<std::uint32_t>(length));
      out.insert(out.end(), bytes.begin(), bytes.end());
    }
  }
  putU64(out, fnv1a(out));
  out.insert(out.end(), kEndMark, kEndMark + 8);
  return out;
}

Status applyPages(PageOverlay &overlay) {
  File &file = overlay.file();
  const auto &pages = overlay.dirtyPages();
  const std::uint64_t end = overlay.size();
  // Consecutive pages go out in one write.
  for (auto it = pages.begin(); it != pages.end();) {
    std::vector<std::uint8_t> run;
    const std::uint64_t first = it->first;
    std::uint64_t next = first;
    while (it != pages.end() && it->first == next) {
      run.insert(run.end(), it->second.begin(), it->second.end());
      ++it;
      ++next;
    }
    const std::uint64_t offset = first * kPageSize;
    if (offset >= end) continue;
    run.resize(static_cast<std::size_t>(std::min<std::uint64_t>(run.size(), end - offset)));
    if (Status s = file.write(offset, run); !s) return s;
  }
  if (end != overlay.originalSize()) {
    auto size = file.size();
    if (!size) return size.takeStatus();
    if (*size != end)
      if (Status s = file.truncate(end); !s) return s;
  }
  return file.sync();
}

struct SavedFile {
  std::string name;
  std::uint64_t size = 0;
  std::vector<std::pair<std::uint64_t, std::vector<std::uint8_t>>> pages;
};

// Parses a journal; false when it is incomplete or damaged (then it was never acted upon).
bool parseJournal(const std::vector<std::uint8_t> &bytes, std::vector<SavedFile> &files) {
  if (bytes.size() < 8 + 4 + 16 || std::memcmp(bytes.data(), kMagic, 8) != 0 ||
      std::memcmp(bytes.data() + bytes.size() - 8, kEndMark, 8) != 0)
    return false;
  const std::size_t bodyEnd = bytes.size() - 16;
  if (getU64(bytes.data() + bodyEnd) != fnv1a(std::span(bytes.data(), bodyEnd))) return false;
  std::size_t at = 8;
  auto need = [&](std::size_t n) { return at + n <= bodyEnd; };
  if (!need(4)) return false;
  const std::uint32_t count = bytes::getU32le(&bytes[at]);
  at += 4;
  for (std::uint32_t f = 0; f < count; ++f) {
    SavedFile saved;
    if (!need(4)) return false;
    const std::uint32_t nameLength = bytes::getU32le(&bytes[at]);
    at += 4;
    if (!need(nameLength + 12)) return false;
    saved.name.assign(reinterpret_cast<const char *>(&bytes[at]), nameLength);
    at += nameLength;
    saved.size = getU64(&bytes[at]);
    at += 8;
    const std::uint32_t pages = bytes::getU32le(&bytes[at]);
    at += 4;
    for (std::uint32_t p = 0; p < pages; ++p) {
      if (!need(12)) return false;
      const std::uint64_t offset = getU64(&bytes[at]);
      const std::uint32_t length = bytes::getU32le(&bytes[at + 8]);
      at += 12;
      if (!need(length)) return false;
      saved.pages.emplace_back(
          offset,
          std::vector<std::uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                    bytes.begin() + static_cast<std::ptrdiff_t>(at + length)));
      at += length;
    }
    if (saved.name.find('/') != std::string::npos || saved.name.empty())
      return false; // names only: a journal never points outside the table's folder
    files.push_back(std::move(saved));
  }
  return at == bodyEnd;
}

Status readWholeFile(File &file, std::vector<std::uint8_t> &out) {
  auto size = file.size();
  if (!size) return size.takeStatus();
  out.resize(static_cast<std::size_t>(*size));
  std::size_t got = 0;
  Status s = file.read(0, out, &got);
  out.resize(got);
  return s;
}

} // namespace

std::string journalPath(const std::string &dbPath) {
  return dbPath + "-journal";
}

Status recoverJournal(FileSystem &fs, const std::string &dbPath, bool *rolledBack) {
  if (rolledBack) *rolledBack = false;
  const std::string path = journalPath(dbPath);
  if (!fs.exists(path)) return {};
  std::vector<std::uint8_t> bytes;
  {
    auto journal = fs.open(path, OpenMode::kReadOnly);
    if (!journal) return journal.takeStatus();
    if (Status s = readWholeFile(**journal, bytes); !s) return s;
  }
  std::vector<SavedFile> files;
  if (parseJournal(bytes, files)) {
    const std::string directory = directoryOf(dbPath);
    for (const SavedFile &saved : files) {
      auto file = fs.open(joinPath(directory, saved.name), OpenMode::kCreate);
      if (!file) return file.takeStatus();
      for (const auto &[offset, original] : saved.pages)
        if (Status s = (*file)->write(offset, original); !s) return s;
      if (Status s = (*file)->truncate(saved.size); !s) return s;
      if (Status s = (*file)->sync(); !s) return s;
    }
    if (rolledBack) *rolledBack = true;
  }
  return fs.remove(path);
}

Status commitWithJournal(FileSystem &fs, const std::string &dbPath,
                         std::vector<JournalTarget> targets) {
  std::erase_if(targets, [](const JournalTarget &t) { return !t.overlay->changed(); });
  if (targets.empty()) return {};
  auto bytes = buildJournal(targets);
  if (!bytes) return bytes.takeStatus();
  const std::string path = journalPath(dbPath);
  {
    auto journal = fs.open(path, OpenMode::kCreate);
    if (!journal) return journal.takeStatus();
    Status s = (*journal)->truncate(0);
    if (s) s = (*journal)->write(0, *bytes);
    if (s) s = (*journal)->sync();
    if (!s) {
      journal->reset();
      (void)fs.remove(path); // never complete, so no table file was touched
      return s;
    }
  }
  for (JournalTarget &t : targets) {
    if (Status s = applyPages(*t.overlay); !s) {
      (void)recoverJournal(fs, dbPath); // may fail as well: then the next opener rolls back
      for (JournalTarget &u : targets)
        u.overlay->reset();
      return s;
    }
  }
  Status removed = fs.remove(path);
  if (removed) removed = syncDirectory(fs, dbPath);
  for (JournalTarget &t : targets)
    t.overlay->reset();
  // A journal that could not be removed makes the next opener undo this change: report it.
  return removed;
}

Status recoverBeforeOpening(FileSystem &fs, const std::string &dbPath) {
  if (!fs.exists(journalPath(dbPath))) return {};
  auto lock = TableLock::open(&fs == &posixFileSystem() ? dbPath : std::string());
  if (!lock)
    return Status(ErrorCode::kTableReadOnly, std::string(defaultMessage(ErrorCode::kTableReadOnly)),
                  {dbPath, "незавершённое изменение таблицы не может быть отменено"});
  if (Status s = lock->lockModification(true, true); !s) return s;
  Status recovered = recoverJournal(fs, dbPath);
  lock->unlockModification();
  return recovered;
}

} // namespace velanta::paradox
