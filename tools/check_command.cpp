// velanta-tool check [--password P]... TABLE: verifies the block chain, counts, blobs and every
// maintained index against the data. Exit 0 when sound, 1 with one problem per line, 2 when
// the table cannot be opened.
#include "paradox/table_check.h"
#include "tools/command.h"
#include "tools/table_text.h"

#include <iostream>

namespace velanta::tool {
namespace {

using namespace velanta::paradox;

int runCheck(const std::vector<std::string> &args) {
  const auto arguments = table_text::parseTableArguments("check", args);
  if (!arguments) return 2;
  const auto &[passwords, path] = *arguments;
  const auto [directory, name] = table_text::splitTablePath(path);
  auto problems = checkTable(posixFileSystem(), directory, name, passwords);
  if (!problems) {
    std::string text = problems.status().toString();
    for (char &c : text)
      if (c == '\n') c = ' ';
    std::cerr << "velanta-tool check: " << text << "\n";
    return 2;
  }
  for (const std::string &line : *problems)
    std::cout << line << "\n";
  return problems->empty() ? 0 : 1;
}

const RegisterCommand registered("check", "check [--password P]... TABLE", runCheck);

} // namespace
} // namespace velanta::tool
