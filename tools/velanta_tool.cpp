// velanta-tool: command-line companion for inspecting and building catalogues.
#include "tools/command.h"

#include <iostream>

namespace velanta::tool {
std::map<std::string, CommandInfo, std::less<>> &commands() {
  static std::map<std::string, CommandInfo, std::less<>> all;
  return all;
}
} // namespace velanta::tool

namespace {
int printUsage(std::ostream &out) {
  out << "usage: velanta-tool COMMAND [ARGS]\n";
  for (const auto &[name, info] : velanta::tool::commands())
    out << "  velanta-tool " << info.usage << "\n";
  return 2;
}
} // namespace

int main(int argc, char **argv) {
  if (argc < 2)
    return printUsage(std::cerr);
  const std::string name = argv[1];
  if (name == "help" || name == "--help") {
    printUsage(std::cout);
    return 0;
  }
  const auto &all = velanta::tool::commands();
  const auto found = all.find(name);
  if (found == all.end()) {
    std::cerr << "velanta-tool: unknown command '" << name << "'\n";
    return printUsage(std::cerr);
  }
  try {
    return found->second.run(std::vector<std::string>(argv + 2, argv + argc));
  } catch (const std::exception &e) {
    std::cerr << "velanta-tool " << name << ": " << e.what() << "\n";
    return 2;
  }
}
