// velanta-tool dump: a table's header facts and records as JSON Lines, in the table's own
// order or an index's, optionally restricted to a range on the index's first key field.
#include "paradox/codepage.h"
#include "paradox/table.h"
#include "tools/command.h"
#include "tools/table_text.h"

#include <charconv>
#include <cmath>
#include <iostream>

namespace velanta::tool {
namespace {

using namespace velanta::paradox;

struct DumpArgs {
  std::vector<std::string> passwords;
  int codePage = -1;
  bool memoText = false;
  std::string index;
  std::optional<std::string> range;
  std::string path;
};

// One line on stderr, exit status 2.
int fail(const std::string &message) {
  std::string line = message;
  for (char &c : line)
    if (c == '\n') c = ' ';
  std::cerr << "velanta-tool dump: " << line << "\n";
  return 2;
}

std::string number(double value) {
  if (!std::isfinite(value)) return "null";
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string hex(std::span<const std::uint8_t> bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (const auto b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

// Converts a value typed on the command line into a Value for the field (storage in `keep`).
std::optional<Value> parseBound(const Field &field, const std::string &text, std::string &keep) {
  switch (field.type) {
  case FieldType::kAlpha: {
    auto bytes = table_text::utf8To1251(text);
    if (!bytes) return std::nullopt;
    keep = *bytes;
    return keep.empty() ? Value(Blank{}) : Value(Text{keep});
  }
  case FieldType::kShort:
  case FieldType::kLong:
  case FieldType::kAutoIncrement: {
    std::int32_t v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return std::nullopt;
    return Value(v);
  }
  case FieldType::kNumber:
  case FieldType::kMoney: {
    double v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return std::nullopt;
    return Value(v);
  }
  case FieldType::kDate: {
    int y = 0, m = 0, d = 0;
    if (std::sscanf(text.c_str(), "%d-%d-%d", &y, &m, &d) != 3) return std::nullopt;
    return Value(Date::fromYmd(y, m, d));
  }
  case FieldType::kLogical:
    if (text == "true" || text == "false") return Value(text == "true");
    return std::nullopt;
  case FieldType::kBcd: {
    auto bcd = Bcd::parse(text, field.size);
    if (!bcd) return std::nullopt;
    return Value(*bcd);
  }
  default:
    return std::nullopt;
  }
}

std::string headerLine(const Table &table, int codePage) {
  const TableInfo &info = table.info();
  std::string line = "{\"version\":\"" + info.versionText +
                     "\",\"fileVersion\":" + std::to_string(info.fileVersion) +
                     ",\"keyed\":" + (info.keyed ? "true" : "false") +
                     ",\"blockSize\":" + std::to_string(info.blockSize) +
                     ",\"records\":" + std::to_string(info.records) +
                     ",\"codepage\":" + std::to_string(info.codePage) +
                     ",\"sortOrder\":" + table_text::jsonString(info.sortOrderId, 1251) +
                     ",\"encrypted\":" + (info.encrypted ? "true" : "false") + ",\"fields\":[";
  bool firstField = true;
  for (const Field &field : table.fields()) {
    line += firstField ? "" : ",";
    firstField = false;
    line += "{\"name\":" + table_text::jsonString(field.name, codePage) + ",\"type\":\"" +
            std::string(1, fieldTypeLetter(field.type)) +
            "\",\"size\":" + std::to_string(field.size) + "}";
  }
  return line + "]}";
}

class RecordWriter {
public:
  RecordWriter(Cursor &cursor, const Table &table, int codePage, bool memoText)
      : cursor_(cursor), table_(table), codePage_(codePage), memoText_(memoText),
        toAnsi_(oemTo1251(table.info().textCodePage)) {}

  std::string line() {
    std::string out = "[";
    const auto &fields = table_.fields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (i > 0) out += ',';
      out += valueJson(static_cast<int>(i), fields[i]);
    }
    return out + "]";
  }

private:
  std::string blobJson(int number, const Field &field) {
    if (auto status = cursor_.readBlob(number, blob_); !status)
      return "{\"error\":" + table_text::jsonUtf8(status.toString()) + "}";
    std::string out = "{\"len\":" + std::to_string(blob_.size()) + ",\"sha256\":\"" +
                      table_text::sha256Hex(blob_) + "\"";
    if (memoText_ && (field.type == FieldType::kMemo || field.type == FieldType::kFormattedMemo)) {
      std::string text(blob_.begin(), blob_.end());
      if (toAnsi_ != nullptr)
        for (char &c : text)
          c = static_cast<char>((*toAnsi_)[static_cast<unsigned char>(c)]);
      out += ",\"text\":" + table_text::jsonString(text, codePage_);
    }
    return out + "}";
  }

  std::string valueJson(int fieldNumber, const Field &field) {
    const Value value = cursor_.value(fieldNumber);
    return std::visit(
        [&](const auto &v) -> std::string {
          using T = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<T, Blank>)
            return "null";
          else if constexpr (std::is_same_v<T, Text>)
            return table_text::jsonString(v.bytes, codePage_);
          else if constexpr (std::is_same_v<T, Bytes>)
            return "{\"hex\":\"" + tool::hex(v.data) + "\"}";
          else if constexpr (std::is_same_v<T, std::int32_t>)
            return std::to_string(v);
          else if constexpr (std::is_same_v<T, double>)
            return tool::number(v);
          else if constexpr (std::is_same_v<T, bool>)
            return v ? "true" : "false";
          else if constexpr (std::is_same_v<T, Bcd>)
            return "\"" + v.toString() + "\"";
          else if constexpr (std::is_same_v<T, Date> || std::is_same_v<T, Time> ||
                             std::is_same_v<T, Timestamp>)
            return "\"" + v.toString() + "\"";
          else
            return blobJson(fieldNumber, field);
        },
        value);
  }

  Cursor &cursor_;
  const Table &table_;
  int codePage_;
  bool memoText_;
  const ByteMap *toAnsi_;
  std::vector<std::uint8_t> blob_;
};

int runDump(const std::vector<std::string> &args) {
  DumpArgs parsed;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string &arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--password" && hasValue) {
      parsed.passwords.push_back(args[++i]);
    } else if (arg == "--codepage" && hasValue) {
      const std::string &text = args[++i];
      const auto r = std::from_chars(text.data(), text.data() + text.size(), parsed.codePage);
      if (r.ec != std::errc() || r.ptr != text.data() + text.size() || parsed.codePage < 0)
        return fail("--codepage wants a number");
    } else if (arg == "--memo-text") {
      parsed.memoText = true;
    } else if (arg == "--index" && hasValue) {
      parsed.index = args[++i];
    } else if (arg == "--range" && hasValue) {
      parsed.range = args[++i];
    } else if (arg.starts_with("--") || !parsed.path.empty()) {
      return fail("unexpected argument " + arg);
    } else {
      parsed.path = arg;
    }
  }
  if (parsed.path.empty()) return fail("no table given");
  if (parsed.range && parsed.index.empty()) return fail("--range needs --index");
  // Text reaches JSON as 1251 (or 1252 when asked for); OEM pages are converted by the engine.
  const int outputPage = parsed.codePage == 1252 ? 1252 : 1251;
  if (parsed.codePage > 0 && parsed.codePage != 1251 && parsed.codePage != 1252 &&
      !isOemCodePage(parsed.codePage))
    return fail("code page " + std::to_string(parsed.codePage) + " is not supported");

  const auto [directory, name] = table_text::splitTablePath(parsed.path);
  OpenOptions options;
  options.access = AccessMode::kReadOnly;
  options.passwords = parsed.passwords;
  options.codePage = parsed.codePage;
  auto opened = Table::open(directory, name, options);
  if (!opened) return fail(opened.status().toString());
  Table &table = **opened;
  auto cursor = table.openCursor(parsed.index);
  if (!cursor) return fail(cursor.status().toString());
  if (parsed.range) {
    const IndexInfo *index = nullptr;
    for (const auto &candidate : table.indexes())
      if (candidate.name == parsed.index || candidate.fileName == parsed.index) index = &candidate;
    int firstKey = index != nullptr ? index->keyFields.front() : 0;
    if (index == nullptr) {
      // Names compare without case in the engine; find the field through the cursor's index.
      for (const auto &candidate : table.indexes()) {
        std::string a = candidate.name, b = parsed.index;
        for (auto *s : {&a, &b})
          for (char &c : *s)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (a == b) firstKey = candidate.keyFields.front();
      }
    }
    const Field &field = table.fields()[static_cast<std::size_t>(firstKey)];
    std::string keep;
    const auto bound = parseBound(field, *parsed.range, keep);
    if (!bound)
      return fail("range value does not suit field type " +
                  std::string(1, fieldTypeLetter(field.type)));
    if (auto status = (*cursor)->setRange(*bound, *bound); !status) return fail(status.toString());
  }

  std::cout << headerLine(table, outputPage) << "\n";
  RecordWriter writer(**cursor, table, outputPage, parsed.memoText);
  for (auto status = (*cursor)->first(); !(*cursor)->eof() || (*cursor)->recordNumber() != 0;
       status = (*cursor)->next()) {
    if (!status) return fail(status.toString());
    if ((*cursor)->recordNumber() == 0) break;
    std::cout << writer.line() << "\n";
    if ((*cursor)->recordNumber() == (*cursor)->recordCount()) break;
  }
  std::cout.flush();
  return std::cout ? 0 : fail("cannot write the output");
}

const RegisterCommand registration(
    "dump",
    "dump [--password P]... [--codepage N] [--memo-text] [--index NAME [--range VALUE]] TABLE   "
    "records as JSON Lines",
    runDump);

} // namespace
} // namespace velanta::tool
