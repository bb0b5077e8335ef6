// velanta-tool check as the user runs it: 0 on a sound table (ours and the original engine's),
// 1 with one line per problem on a damaged one, 2 when the table cannot be opened.
#include "paradox/bytes.h"
#include "paradox/create.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace velanta::paradox {
namespace {

namespace fs = std::filesystem;

struct ToolRun {
  int status = -1;
  std::string out;
};

ToolRun runCheck(const std::string &arguments) {
  ToolRun run;
  FILE *pipe =
      ::popen((std::string(VELANTA_TOOL) + " check " + arguments + " 2>/dev/null").c_str(), "r");
  if (!pipe) return run;
  std::array<char, 512> buffer{};
  while (std::fgets(buffer.data(), buffer.size(), pipe))
    run.out += buffer.data();
  const int raw = ::pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

TEST(CheckCommand, SoundDamagedAndUnopenableTables) {
  const fs::path dir = fs::temp_directory_path() / ("velanta-check-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  TableSpec definition;
  definition.fields = {{"ID", FieldType::kAutoIncrement, 0},
                       {"Tip", FieldType::kAlpha, 20},
                       {"Name", FieldType::kAlpha, 60},
                       {"Text", FieldType::kMemo, 20}};
  definition.keyFields = 1;
  definition.indexes = {{"TipGlavno", {"Tip", "Name"}, false}};
  auto builder = TableBuilder::make(definition);
  ASSERT_TRUE(builder);
  for (int i = 0; i < 200; ++i) {
    RecordValues r = builder->newRecord();
    ASSERT_TRUE(r.setText("Tip", "k" + std::to_string(i % 7)));
    ASSERT_TRUE(r.setText("Name", "n" + std::to_string(i)));
    ASSERT_TRUE(r.setText("Text", std::string(static_cast<std::size_t>(i * 31), 'x')));
    ASSERT_TRUE(builder->append(r));
  }
  const std::string db = (dir / "base.db").string();
  ASSERT_TRUE(builder->write(db));
  EXPECT_EQ(runCheck(db).status, 0);
  EXPECT_EQ(runCheck(std::string(VELANTA_FIXTURES_DIR) + "/paradox/db/AREACODES.DB").status, 0);

  // A Name changed behind the index's back: the XG no longer matches the data.
  {
    std::fstream f(db, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(0x800 + 6 + 4 + 20); // block 1, record 1, Name
    f.write("zzz", 3);
  }
  const ToolRun damaged = runCheck(db);
  EXPECT_EQ(damaged.status, 1);
  EXPECT_NE(damaged.out.find("base.xg0"), std::string::npos) << damaged.out;

  EXPECT_EQ(runCheck((dir / "missing.db").string()).status, 2);
  fs::remove_all(dir);
}

} // namespace
} // namespace velanta::paradox
