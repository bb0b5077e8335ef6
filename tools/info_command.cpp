// velanta-tool info TABLE: the facts of a table's header, its fields and indexes.
#include "paradox/table.h"
#include "tools/command.h"
#include "tools/table_text.h"

#include <iostream>

namespace velanta::tool {
namespace {

using namespace velanta::paradox;

// Single-byte (1251) text for the terminal (UTF-8).
std::string display(std::string_view bytes) {
  const std::string quoted = table_text::jsonString(bytes, 1251);
  return quoted.substr(1, quoted.size() - 2);
}

int runInfo(const std::vector<std::string> &args) {
  const auto arguments = table_text::parseTableArguments("info", args);
  if (!arguments) return 2;
  const auto &[passwords, path] = *arguments;
  const auto [directory, name] = table_text::splitTablePath(path);
  OpenOptions options;
  options.access = AccessMode::kReadOnly;
  options.passwords = passwords;
  auto opened = Table::open(directory, name, options);
  if (!opened) {
    std::string text = opened.status().toString();
    for (char &c : text)
      if (c == '\n') c = ' ';
    std::cerr << "velanta-tool info: " << text << "\n";
    return 2;
  }
  const Table &table = **opened;
  const TableInfo &info = table.info();
  std::cout << "file: " << info.fileName << "\n"
            << "version: " << info.versionText << " (" << info.fileVersion << ")\n"
            << "type: "
            << (info.keyed ? "keyed, " + std::to_string(info.keyFieldCount) + " key field(s)"
                           : std::string("unkeyed"))
            << "\n"
            << "block size: " << info.blockSize << "\n"
            << "records: " << info.records << "\n"
            << "code page: " << info.codePage;
  if (info.textCodePage != 0)
    std::cout << " (text converted from " << info.textCodePage << " to 1251)";
  std::cout << "\n";
  char sort[8];
  std::snprintf(sort, sizeof sort, "0x%02X", info.sortOrder);
  std::cout << "sort order: " << sort << " " << info.sortOrderId << "\n"
            << "encrypted: " << (info.encrypted ? "yes" : "no") << "\n"
            << "blob file: " << (info.hasBlobFile ? "yes" : "no") << "\n"
            << "fields:\n";
  int number = 1;
  for (const Field &field : table.fields())
    std::cout << "  " << number++ << ". " << display(field.name) << " "
              << fieldTypeLetter(field.type) << " " << field.size << "\n";
  std::cout << "indexes:" << (table.indexes().empty() ? " none" : "") << "\n";
  for (const IndexInfo &index : table.indexes()) {
    std::cout << "  " << index.fileName << " " << display(index.name) << ":";
    for (std::size_t i = 0; i < index.keyFields.size(); ++i)
      std::cout << (i == 0 ? " " : ", ")
                << display(table.fields()[static_cast<std::size_t>(index.keyFields[i])].name)
                << (index.descending[i] ? " desc" : "");
    std::cout << (index.caseInsensitive ? "; case-insensitive" : "")
              << (index.maintained ? "; maintained" : "; not maintained")
              << (index.inStep ? "; in step" : "; not in step: " + index.problem) << "\n";
  }
  return 0;
}

const RegisterCommand
    registration("info",
                 "info [--password P]... TABLE   header, fields and indexes of a Paradox table",
                 runInfo);

} // namespace
} // namespace velanta::tool
