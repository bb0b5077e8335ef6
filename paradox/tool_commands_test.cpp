// velanta-tool info and dump on real tables: the JSON Lines format, the value spellings,
// index order with a range, and the exit status with its one-line message.
#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

const std::string kFixtures = std::string(VELANTA_FIXTURES_DIR) + "/paradox/";

struct ToolRun {
  int status = -1;
  std::vector<std::string> lines; // stdout
  std::string errors;             // stderr
};

ToolRun tool(const std::string &arguments) {
  // One file per process and call: ctest runs the tests of this binary in parallel.
  static int calls = 0;
  const std::string errorsFile = ::testing::TempDir() + "velanta_tool_stderr_" +
                                 std::to_string(::getpid()) + "_" + std::to_string(++calls) +
                                 ".txt";
  const std::string command = std::string(VELANTA_TOOL) + " " + arguments + " 2>" + errorsFile;
  ToolRun run;
  FILE *pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  std::string current;
  std::array<char, 4096> buffer;
  for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
    for (std::size_t i = 0; i < n; ++i) {
      if (buffer[i] == '\n') {
        run.lines.push_back(current);
        current.clear();
      } else {
        current += buffer[i];
      }
    }
  const int status = ::pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (FILE *errors = std::fopen(errorsFile.c_str(), "r")) {
    for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), errors)) > 0;)
      run.errors.append(buffer.data(), n);
    std::fclose(errors);
  }
  std::remove(errorsFile.c_str());
  return run;
}

bool contains(const std::string &text, const std::string &part) {
  return text.find(part) != std::string::npos;
}

TEST(DumpCommand, HeaderLineThenOneArrayPerRecord) {
  const ToolRun run = tool("dump --memo-text " + kFixtures + "db/NOTE1251.DB");
  ASSERT_EQ(run.status, 0) << run.errors;
  ASSERT_EQ(run.lines.size(), 3u);
  EXPECT_TRUE(contains(run.lines[0], "\"version\":\"7.x\""));
  EXPECT_TRUE(contains(run.lines[0], "\"records\":2"));
  EXPECT_TRUE(contains(run.lines[0], "\"codepage\":936"));
  EXPECT_TRUE(contains(run.lines[0], "\"encrypted\":false"));
  EXPECT_TRUE(contains(run.lines[0], "\"fields\":[{\"name\":\"Id\",\"type\":\"+\",\"size\":4},"
                                     "{\"name\":\"Note\",\"type\":\"M\",\"size\":60}]"));
  // cp1251 memo text arrives as UTF-8; the hash is over the stored bytes.
  EXPECT_EQ(run.lines[2],
            "[2,{\"len\":56,\"sha256\":"
            "\"358d166278a19bcea41eff75b9cc833e7c80e84031bd5de9660cce797f2b8828\","
            "\"text\":\"Удивительное устройство USB-флешки Kingston DataTraveler\"}]");
}

TEST(DumpCommand, ValueSpellings) {
  struct Case {
    std::string table;
    std::size_t line;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"fields/date7.db", 1, "[\"2018-01-01\",\"10:00:00.000\"]"},
      {"fields/timestamp.db", 1, "[null]"},
      {"fields/timestamp.db", 2, "[\"2020-02-01T01:00:01.000\"]"},
      {"fields/logical.db", 1, "[true]"},
      {"fields/logical.db", 2, "[false]"},
      {"fields/bcd.db", 2, "[\"-1.23\",\"-1\",\"-0.12299999999999999811014000012550\"]"},
      {"fields/graphic.db", 2,
       "[2,{\"len\":9626,\"sha256\":"
       "\"044d0dcb7931a5cb376bcb751c03462d6366e39811044d68bf37b2ffbf7b794a\"},"
       "\"BMP\"]"},
  };
  for (const auto &c : cases) {
    const ToolRun run = tool("dump " + kFixtures + c.table);
    ASSERT_EQ(run.status, 0) << c.table << ": " << run.errors;
    ASSERT_GT(run.lines.size(), c.line) << c.table;
    EXPECT_EQ(run.lines[c.line], c.expected) << c.table;
  }
  const ToolRun bytes = tool("dump " + kFixtures + "fields/bytes.db");
  ASSERT_EQ(bytes.lines.size(), 2u);
  EXPECT_TRUE(bytes.lines[1].starts_with("[{\"hex\":\"31003200330000")) << bytes.lines[1];
}

TEST(DumpCommand, IndexOrderWithARange) {
  const ToolRun run = tool("dump --index ste --range CA " + kFixtures + "db/AREACODES.DB");
  ASSERT_EQ(run.status, 0) << run.errors;
  ASSERT_GT(run.lines.size(), 10u);
  for (std::size_t i = 1; i < run.lines.size(); ++i)
    EXPECT_TRUE(contains(run.lines[i], ",\"CA\",")) << run.lines[i];
  const ToolRun all = tool("dump --index ste " + kFixtures + "db/AREACODES.DB");
  ASSERT_EQ(all.lines.size(), 371u);
}

TEST(DumpCommand, FailuresExitWithTwoAndOneLine) {
  for (const std::string &arguments :
       {"dump " + kFixtures + "encrypt/encrypted.db", "dump " + kFixtures + "db/NOSUCH.DB",
        "dump --index nosuch " + kFixtures + "db/CUSTOMER.DB", std::string("dump")}) {
    const ToolRun run = tool(arguments);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_TRUE(run.lines.empty()) << arguments;
    ASSERT_FALSE(run.errors.empty()) << arguments;
    EXPECT_EQ(run.errors.find('\n'), run.errors.size() - 1) << run.errors;
  }
  const ToolRun denied = tool("dump " + kFixtures + "encrypt/encrypted.db");
  EXPECT_TRUE(contains(denied.errors, "Недостаточно прав")) << denied.errors;
  const ToolRun granted =
      tool("dump --password x --password 123 " + kFixtures + "encrypt/encrypted.db");
  EXPECT_EQ(granted.status, 0) << granted.errors;
  EXPECT_TRUE(contains(granted.lines[0], "\"encrypted\":true"));
}

TEST(InfoCommand, FieldsAndIndexes) {
  const ToolRun run = tool("info " + kFixtures + "db/CUSTOMER.DB");
  ASSERT_EQ(run.status, 0) << run.errors;
  std::string text;
  for (const auto &line : run.lines)
    text += line + "\n";
  EXPECT_TRUE(contains(text, "version: 7.x (12)"));
  EXPECT_TRUE(contains(text, "type: keyed, 1 key field(s)"));
  EXPECT_TRUE(contains(text, "records: 20"));
  EXPECT_TRUE(contains(text, "9. Comments M 110"));
  EXPECT_TRUE(contains(text, "CUSTOMER.X06 City: City; maintained; in step"));
  const ToolRun named = tool("info " + kFixtures + "db/AREACODES.DB");
  ASSERT_EQ(named.status, 0);
  std::string namedText;
  for (const auto &line : named.lines)
    namedText += line + "\n";
  EXPECT_TRUE(
      contains(namedText, "AREACODES.XG0 ste: State; case-insensitive; maintained; in step"));
}

} // namespace
