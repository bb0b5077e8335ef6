// velanta-tool make-catalogue [--force] SOURCE_DIR OUT_DIR: builds a catalogue (tip.db and
// base.db, protected with the program's table password, code page 1251) from plain sources:
//
//   SOURCE_DIR/kinds.txt       one kind per line, in the order the kinds list shows them
//   SOURCE_DIR/documents.txt   one document per line: KIND <tab> FILE <tab> NAME
//   SOURCE_DIR/documents/FILE  the document's body as RTF
//
// Both lists are UTF-8; lines that are empty or start with "#" are skipped. A kind may
// have no documents; every document's kind must be listed. A catalogue already in OUT_DIR is
// kept as it is (it may hold the user's changes) unless --force is given.
#include "tools/command.h"

#include "catalogue/catalogue_files.h"
#include "paradox/create.h"

#include <iconv.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <stdexcept>

namespace velanta::tool {
namespace {

namespace fs = std::filesystem;
using paradox::FieldType;

constexpr int kKindSize = 60;
constexpr int kNameSize = 120;

std::string readFile(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// UTF-8 to code page 1251; a character the code page lacks is an error, never dropped.
std::string toCp1251(const std::string &utf8) {
  iconv_t converter = iconv_open("CP1251", "UTF-8");
  if (converter == iconv_t(-1)) throw std::runtime_error("code page 1251 is not available");
  std::string out(utf8.size(), '\0');
  char *in = const_cast<char *>(utf8.data());
  std::size_t inLeft = utf8.size();
  char *to = out.data();
  std::size_t outLeft = out.size();
  const std::size_t result = iconv(converter, &in, &inLeft, &to, &outLeft);
  iconv_close(converter);
  if (result == std::size_t(-1))
    throw std::runtime_error("not representable in code page 1251: " + utf8);
  out.resize(out.size() - outLeft);
  return out;
}

std::vector<std::string> listLines(const fs::path &path) {
  std::vector<std::string> lines;
  std::istringstream text(readFile(path));
  for (std::string line; std::getline(text, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line.front() != '#') lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> splitTabs(const std::string &line) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
    parts.push_back(line.substr(start, tab - start));
  parts.push_back(line.substr(start));
  return parts;
}

void checkSize(const std::string &value, int size, const std::string &what) {
  if (value.empty() || int(value.size()) > size)
    throw std::runtime_error(what + " must have 1 to " + std::to_string(size) +
                             " characters: " + value);
}

void check(const paradox::Status &status, const std::string &what) {
  if (!status.isOk()) throw std::runtime_error(what + ": " + status.toString());
}

paradox::TableSpec kindsSpec() {
  paradox::TableSpec definition;
  definition.fields = {{catalogue::kKindField, FieldType::kAlpha, kKindSize}};
  definition.password = catalogue::kTablePassword;
  return definition;
}

paradox::TableSpec documentsSpec() {
  paradox::TableSpec definition;
  definition.fields = {{"ID", FieldType::kAutoIncrement, 0},
                       {catalogue::kKindField, FieldType::kAlpha, kKindSize},
                       {catalogue::kNameField, FieldType::kAlpha, kNameSize},
                       {catalogue::kTextField, FieldType::kMemo, 11}};
  definition.keyFields = 1;
  definition.indexes = {
      {catalogue::kDocumentsIndex, {catalogue::kKindField, catalogue::kNameField}}};
  definition.password = catalogue::kTablePassword;
  definition.blockSizeKb = 4;
  return definition;
}

int makeCatalogue(const std::vector<std::string> &given) {
  std::vector<std::string> args = given;
  const bool force = !args.empty() && args.front() == "--force";
  if (force) args.erase(args.begin());
  if (args.size() != 2) {
    std::cerr << "usage: velanta-tool make-catalogue [--force] SOURCE_DIR OUT_DIR\n";
    return 2;
  }
  const fs::path source = args[0];
  const fs::path out = args[1];
  if (!force &&
      (fs::exists(out / catalogue::kKindsFile) || fs::exists(out / catalogue::kDocumentsFile))) {
    std::cout << "make-catalogue: " << out.string()
              << " already holds a catalogue; kept (--force replaces it)\n";
    return 0;
  }
  fs::create_directories(out);

  auto kinds = paradox::TableBuilder::make(kindsSpec());
  check(kinds.status(), "kinds table");
  std::set<std::string> known;
  for (const std::string &line : listLines(source / "kinds.txt")) {
    const std::string kind = toCp1251(line);
    checkSize(kind, kKindSize, "a kind");
    paradox::RecordValues record = kinds->newRecord();
    check(record.setText(catalogue::kKindField, kind), "kind " + line);
    check(kinds->append(record), "kind " + line);
    known.insert(kind);
  }

  auto documents = paradox::TableBuilder::make(documentsSpec());
  check(documents.status(), "documents table");
  for (const std::string &line : listLines(source / "documents.txt")) {
    const std::vector<std::string> parts = splitTabs(line);
    if (parts.size() != 3)
      throw std::runtime_error("documents.txt: expected KIND<tab>FILE<tab>NAME: " + line);
    const std::string kind = toCp1251(parts[0]);
    const std::string name = toCp1251(parts[2]);
    if (!known.count(kind))
      throw std::runtime_error("documents.txt: kind not in kinds.txt: " + parts[0]);
    checkSize(name, kNameSize, "a document's name");
    paradox::RecordValues record = documents->newRecord();
    check(record.setText(catalogue::kKindField, kind), parts[2]);
    check(record.setText(catalogue::kNameField, name), parts[2]);
    check(record.setText(catalogue::kTextField, readFile(source / "documents" / parts[1])),
          parts[2]);
    check(documents->append(record), parts[2]);
  }

  check(kinds->write((out / catalogue::kKindsFile).string()), catalogue::kKindsFile);
  check(documents->write((out / catalogue::kDocumentsFile).string()), catalogue::kDocumentsFile);
  std::cout << "make-catalogue: " << kinds->size() << " kinds, " << documents->size()
            << " documents in " << out.string() << "\n";
  return 0;
}

const RegisterCommand registration(
    "make-catalogue",
    "make-catalogue [--force] SOURCE_DIR OUT_DIR   build tip.db and base.db from sources",
    makeCatalogue);

} // namespace
} // namespace velanta::tool
