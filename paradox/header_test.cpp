#include "paradox/header.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace velanta::paradox {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> readAll(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<fs::path> fixtureFilesWithHeaders() {
  std::vector<fs::path> files;
  for (const auto &entry :
       fs::recursive_directory_iterator(fs::path(VELANTA_FIXTURES_DIR) / "paradox")) {
    std::string ext = entry.path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
    if (ext == ".db" || ext == ".px" || (ext.size() == 4 && (ext[1] == 'x' || ext[1] == 'y')))
      files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Every header written by the original engine parses, and writing the model back gives the
// same bytes: nothing the writer copies is lost.
TEST(Header, RealHeadersParseAndRoundTrip) {
  const auto files = fixtureFilesWithHeaders();
  ASSERT_GT(files.size(), 40u);
  for (const auto &path : files) {
    const auto bytes = readAll(path);
    const auto header = parseHeader(bytes, path.filename().string());
    ASSERT_TRUE(header.isOk()) << path << ": " << header.status().toString();
    EXPECT_EQ(header->descriptors.size(), static_cast<std::size_t>(header->numFields));
    const auto written = serializeHeader(*header);
    ASSERT_EQ(written.size(), header->headerSize) << path;
    for (std::size_t i = 0; i < written.size(); ++i)
      ASSERT_EQ(written[i], bytes[i]) << path << " differs at 0x" << std::hex << i;
  }
}

TEST(Header, NamedIndexAndSortOrderAreRead) {
  const fs::path dir = fs::path(VELANTA_FIXTURES_DIR) / "paradox" / "db";
  const auto xg = parseHeader(readAll(dir / "AREACODES.XG0"), "AREACODES.XG0");
  ASSERT_TRUE(xg.isOk());
  EXPECT_EQ(xg->indexName, "ste");
  EXPECT_EQ(xg->type(), FileType::kCompositeIndex);
  const auto db = parseHeader(readAll(dir / "NOTE1251.DB"), "NOTE1251.DB");
  ASSERT_TRUE(db.isOk());
  EXPECT_EQ(db->codePage, 936);
  EXPECT_EQ(db->sortOrderId, "china");
  const auto px = parseHeader(readAll(dir / "NOTE1251.PX"), "NOTE1251.PX");
  ASSERT_TRUE(px.isOk());
  EXPECT_EQ(px->indexStamp, expectedIndexStamp(*db));
}

TEST(Header, DamagedHeadersAreRefusedNotTrusted) {
  const fs::path dir = fs::path(VELANTA_FIXTURES_DIR) / "paradox" / "db";
  const auto good = readAll(dir / "CUSTOMER.DB");
  struct Damage {
    std::size_t offset;
    std::uint8_t value;
  };
  for (const Damage damage :
       {Damage{0x04, 9}, Damage{0x05, 0}, Damage{0x05, 33}, Damage{0x39, 2}, Damage{0x39, 13},
        Damage{0x01, 0xFF}, Damage{0x21, 0xFF}, Damage{0x22, 0x7F}, Damage{0x03, 0xFF}}) {
    auto bytes = good;
    bytes[damage.offset] = damage.value;
    const auto header = parseHeader(bytes, "CUSTOMER.DB");
    EXPECT_FALSE(header.isOk()) << "offset " << damage.offset;
    if (!header.isOk()) {
      EXPECT_EQ(header.status().code(), ErrorCode::kHeaderCorrupt);
    }
  }
  auto noRecordSize = good;
  noRecordSize[0] = noRecordSize[1] = 0;
  EXPECT_FALSE(parseHeader(noRecordSize, "CUSTOMER.DB").isOk());
  EXPECT_FALSE(parseHeader(std::span(good).first(0x40), "CUSTOMER.DB").isOk());
}

TEST(Header, StampSumCarriesAround) {
  Header parent;
  parent.changeCount1 = 7;
  parent.sortOrder = 0x11;
  EXPECT_EQ(expectedIndexStamp(parent), 26);
  parent.changeCount1 = 246;
  EXPECT_EQ(expectedIndexStamp(parent), 10);
  parent.sortOrder = 0;
  EXPECT_EQ(expectedIndexStamp(parent), 246);
}

} // namespace
} // namespace velanta::paradox
