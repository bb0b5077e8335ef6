#include "paradox/file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>

namespace velanta::paradox {
namespace {

std::vector<std::uint8_t> bytesOf(std::string_view text) {
  return {text.begin(), text.end()};
}

void exerciseFile(FileSystem &fs, const std::string &path) {
  auto file = fs.open(path, OpenMode::kCreate);
  ASSERT_TRUE(file.isOk()) << file.status().toString();
  ASSERT_TRUE((*file)->write(4, bytesOf("abc")).isOk());
  EXPECT_EQ(*(*file)->size(), 7u);
  std::vector<std::uint8_t> out(10, 0xFF);
  std::size_t got = 0;
  ASSERT_TRUE((*file)->read(2, out, &got).isOk());
  EXPECT_EQ(got, 5u);
  EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.begin() + 5),
            (std::vector<std::uint8_t>{0, 0, 'a', 'b', 'c'}));
  EXPECT_EQ((*file)->readExact(5, out).code(), ErrorCode::kIoError);
  ASSERT_TRUE((*file)->truncate(5).isOk());
  EXPECT_EQ(*(*file)->size(), 5u);
  ASSERT_TRUE((*file)->sync().isOk());
}

TEST(PosixFile, ReadsWritesAndReportsMissingFiles) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("velanta_posix_file_test_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "a.bin").string();
  exerciseFile(posixFileSystem(), path);
  EXPECT_EQ(posixFileSystem().open((dir / "none").string(), OpenMode::kReadOnly).status().code(),
            ErrorCode::kNoSuchFile);
  const auto names = posixFileSystem().list(dir.string());
  ASSERT_TRUE(names.isOk());
  EXPECT_NE(std::find(names->begin(), names->end(), "a.bin"), names->end());
  std::filesystem::remove_all(dir);
}

TEST(MemoryFileSystem, BehavesLikeTheRealOne) {
  MemoryFileSystem fs;
  exerciseFile(fs, "/d/a.bin");
  EXPECT_EQ(fs.open("/d/none", OpenMode::kReadOnly).status().code(), ErrorCode::kNoSuchFile);
  EXPECT_EQ(*fs.list("/d"), std::vector<std::string>{"a.bin"});
}

TEST(MemoryFileSystem, ReadOnlyFilesRefuseWritableOpens) {
  MemoryFileSystem fs;
  fs.setContents("/d/t.db", bytesOf("x"));
  fs.setReadOnly("/d/t.db", true);
  EXPECT_EQ(fs.open("/d/t.db", OpenMode::kReadWrite).status().code(), ErrorCode::kTableReadOnly);
  EXPECT_TRUE(fs.open("/d/t.db", OpenMode::kReadOnly).isOk());
}

TEST(MemoryFileSystem, FaultsAndPowerLoss) {
  MemoryFileSystem fs;
  auto file = std::move(fs.open("/t", OpenMode::kCreate).value());
  ASSERT_TRUE(file->write(0, bytesOf("synced")).isOk());
  ASSERT_TRUE(file->sync().isOk());
  int writes = 0;
  fs.setWriteHook([&](const std::string &, std::uint64_t, std::size_t) {
    return ++writes == 2 ? Status::error(ErrorCode::kIoError) : Status();
  });
  EXPECT_TRUE(file->write(0, bytesOf("lost")).isOk());
  EXPECT_EQ(file->write(0, bytesOf("never")).code(), ErrorCode::kIoError);
  EXPECT_EQ(fs.contents("/t"), bytesOf("losted"));
  fs.dropUnsyncedData();
  EXPECT_EQ(fs.contents("/t"), bytesOf("synced"));
}

TEST(MemoryFileSystem, ExclusiveLocksConflictBetweenHandles) {
  MemoryFileSystem fs;
  fs.setContents("/t", {});
  auto a = std::move(fs.open("/t", OpenMode::kReadWrite).value());
  auto b = std::move(fs.open("/t", OpenMode::kReadWrite).value());
  ASSERT_TRUE(a->lock(0, 10, LockType::kShared, false).isOk());
  EXPECT_TRUE(b->lock(0, 10, LockType::kShared, false).isOk());
  EXPECT_EQ(b->lock(5, 1, LockType::kExclusive, false).code(), ErrorCode::kFileLocked);
  ASSERT_TRUE(a->unlock(0, 10).isOk());
  EXPECT_TRUE(b->lock(5, 1, LockType::kExclusive, false).isOk());
}

} // namespace
} // namespace velanta::paradox
