// Subcommands of velanta-tool. Each lives in its own *_command.cpp and registers itself,
// so adding one touches no shared file.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace velanta::tool {

// Arguments after the subcommand's name. Returns the process's exit status:
// 0 on success, 2 (with one line on stderr) on failure, or what the command documents.
using Command = std::function<int(const std::vector<std::string> &args)>;

struct CommandInfo {
  std::string usage; // one line, shown by `velanta-tool help`
  Command run;
};

std::map<std::string, CommandInfo, std::less<>> &commands();

struct RegisterCommand {
  RegisterCommand(std::string name, std::string usage, Command run) {
    commands().emplace(std::move(name), CommandInfo{std::move(usage), std::move(run)});
  }
};

} // namespace velanta::tool
