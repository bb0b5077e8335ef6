#include "bench/synthetic_catalogue.h"

#include "catalogue/catalogue_files.h"
#include "paradox/create.h"

#include <cmath>
#include <fstream>
#include <random>
#include <stdexcept>
#include <vector>

namespace velanta::bench {
namespace {

namespace fs = std::filesystem;
using paradox::FieldType;

// Russian words in cp1251 (each a contract's vocabulary); written into RTF as \'xx escapes,
// as word processors write them.
const char *const kWords[] = {
    "\xc4\xee\xe3\xee\xe2\xee\xf0",                                 // Договор
    "\xef\xee\xf1\xf2\xe0\xe2\xea\xe8",                             // поставки
    "\xf1\xf2\xee\xf0\xee\xed\xfb",                                 // стороны
    "\xee\xe1\xff\xe7\xf3\xfe\xf2\xf1\xff",                         // обязуются
    "\xcf\xee\xea\xf3\xef\xe0\xf2\xe5\xeb\xfc",                     // Покупатель
    "\xcf\xee\xf1\xf2\xe0\xe2\xf9\xe8\xea",                         // Поставщик
    "\xf2\xee\xe2\xe0\xf0",                                         // товар
    "\xe2",                                                         // в
    "\xf1\xf0\xee\xea",                                             // срок
    "\xee\xef\xeb\xe0\xf2\xe0",                                     // оплата
    "\xf0\xf3\xe1\xeb\xe5\xe9",                                     // рублей
    "\xed\xe0\xf1\xf2\xee\xff\xf9\xe5\xe3\xee",                     // настоящего
    "\xee\xf2\xe2\xe5\xf2\xf1\xf2\xe2\xe5\xed\xed\xee\xf1\xf2\xfc", // ответственность
    "\xe8",                                                         // и
    "\xef\xee",                                                     // по
    "\xf3\xf1\xeb\xee\xe2\xe8\xff\xec",                             // условиям
};

void appendEscaped(std::string &rtf, const char *word) {
  static const char hex[] = "0123456789abcdef";
  for (const char *p = word; *p != 0; ++p) {
    const auto byte = static_cast<unsigned char>(*p);
    if (byte < 0x80) {
      rtf += static_cast<char>(byte);
    } else {
      rtf += "\\'";
      rtf += hex[byte >> 4];
      rtf += hex[byte & 15];
    }
  }
}

std::string sentence(std::mt19937 &random) {
  std::string text;
  const int words = 8 + static_cast<int>(random() % 12);
  for (int w = 0; w < words; ++w) {
    if (w > 0) text += ' ';
    appendEscaped(text, kWords[random() % std::size(kWords)]);
  }
  return text + ". ";
}

void appendParagraph(std::string &rtf, std::mt19937 &random) {
  rtf += "\\pard\\plain\\qj\\fi567\\sb60\\sa60\\f0\\fs24 ";
  const int sentences = 2 + static_cast<int>(random() % 5);
  for (int s = 0; s < sentences; ++s) {
    if (s == 1) rtf += "{\\b ";
    rtf += sentence(random);
    if (s == 1) rtf += "}";
  }
  rtf += "\\par\n";
}

void appendTable(std::string &rtf, std::mt19937 &random) {
  const int rows = 3 + static_cast<int>(random() % 6);
  for (int r = 0; r < rows; ++r) {
    rtf += "\\trowd\\trgaph108\\trleft-108"
           "\\clbrdrt\\brdrs\\brdrw10\\clbrdrl\\brdrs\\brdrw10\\clbrdrb\\brdrs\\brdrw10"
           "\\clbrdrr\\brdrs\\brdrw10\\cellx3000"
           "\\clbrdrt\\brdrs\\brdrw10\\clbrdrl\\brdrs\\brdrw10\\clbrdrb\\brdrs\\brdrw10"
           "\\clbrdrr\\brdrs\\brdrw10\\cellx6500"
           "\\clbrdrt\\brdrs\\brdrw10\\clbrdrl\\brdrs\\brdrw10\\clbrdrb\\brdrs\\brdrw10"
           "\\clbrdrr\\brdrs\\brdrw10\\cellx9500\n";
    for (int c = 0; c < 3; ++c) {
      rtf += "\\pard\\intbl\\f0\\fs20 ";
      if (c == 2)
        rtf += std::to_string(1000 + random() % 900000) + " ";
      else
        appendEscaped(rtf, kWords[random() % std::size(kWords)]);
      rtf += "\\cell ";
    }
    rtf += "\\row\n";
  }
  rtf += "\\pard\\par\n";
}

std::string documentName(int index) {
  // "Договор поставки № " + number
  return std::string("\xc4\xee\xe3\xee\xe2\xee\xf0 \xef\xee\xf1\xf2\xe0\xe2\xea\xe8 \xb9 ") +
         std::to_string(index + 1);
}

paradox::TableSpec kindsSpec() {
  paradox::TableSpec definition;
  definition.fields = {{catalogue::kKindField, FieldType::kAlpha, 60}};
  definition.password = catalogue::kTablePassword;
  return definition;
}

paradox::TableSpec documentsSpec() {
  paradox::TableSpec definition;
  definition.fields = {{"ID", FieldType::kAutoIncrement, 0},
                       {catalogue::kKindField, FieldType::kAlpha, 60},
                       {catalogue::kNameField, FieldType::kAlpha, 120},
                       {catalogue::kTextField, FieldType::kMemo, 11}};
  definition.keyFields = 1;
  definition.indexes = {
      {catalogue::kDocumentsIndex, {catalogue::kKindField, catalogue::kNameField}}};
  definition.password = catalogue::kTablePassword;
  definition.blockSizeKb = 4;
  return definition;
}

void check(const paradox::Status &status, const char *what) {
  if (!status.isOk())
    throw std::runtime_error(std::string("synthetic catalogue: ") + what + ": " +
                             status.toString());
}

void writeCatalogue(const fs::path &dir, int documents) {
  const int kindCount = std::max(1, documents / 100);
  auto kinds = paradox::TableBuilder::make(kindsSpec());
  check(kinds.status(), "kinds table");
  for (int k = 0; k < kindCount; ++k) {
    paradox::RecordValues record = kinds->newRecord();
    check(record.setText(catalogue::kKindField, syntheticKind(k)), "kind");
    check(kinds->append(record), "kind");
  }
  check(kinds->write((dir / catalogue::kKindsFile).string()), "writing tip.db");

  auto docs = paradox::TableBuilder::make(documentsSpec());
  check(docs.status(), "documents table");
  for (int i = 0; i < documents; ++i) {
    paradox::RecordValues record = docs->newRecord();
    check(record.setText(catalogue::kKindField, syntheticKind(i % kindCount)), "document kind");
    check(record.setText(catalogue::kNameField, documentName(i)), "document name");
    check(record.setText(catalogue::kTextField, syntheticBody(i, syntheticBodySize(i))), "body");
    check(docs->append(record), "document");
  }
  check(docs->write((dir / catalogue::kDocumentsFile).string()), "writing base.db");
}

} // namespace

std::string syntheticKind(int kind) {
  // "Вид договора " + number, zero-padded so that the kinds sort as they are numbered
  char number[16];
  std::snprintf(number, sizeof number, "%05d", kind + 1);
  return std::string("\xc2\xe8\xe4 \xe4\xee\xe3\xee\xe2\xee\xf0\xe0 ") + number;
}

std::size_t syntheticBodySize(int index) {
  if (index % 1000 == 999) return 200 * 1024;
  std::mt19937 random(static_cast<unsigned>(index) * 2654435761u + 17);
  const double u = std::uniform_real_distribution<double>(0, 1)(random);
  return static_cast<std::size_t>(1024 * std::pow(200.0, u * u * u));
}

std::string syntheticBody(int index, std::size_t bytes) {
  std::mt19937 random(static_cast<unsigned>(index) + 1);
  std::string rtf = "{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0\\froman\\fcharset204 Times "
                    "New Roman;}{\\f1\\fswiss\\fcharset204 Arial;}}\n"
                    "\\paperw11906\\paperh16838\\margl1134\\margr850\\margt1134\\margb1134\n"
                    "\\pard\\plain\\qc\\sa120\\f1\\fs28\\b ";
  appendEscaped(rtf, documentName(index).c_str());
  rtf += "\\b0\\par\n";
  rtf.reserve(bytes + 4096);
  int paragraph = 0;
  while (rtf.size() + 2 < bytes) {
    if (++paragraph % 7 == 0)
      appendTable(rtf, random);
    else
      appendParagraph(rtf, random);
  }
  return rtf + "}";
}

std::filesystem::path syntheticCatalogue(int documents) {
  const fs::path dir =
      fs::temp_directory_path() / ("velanta-synthetic-" + std::to_string(documents));
  const fs::path marker = dir / "complete";
  if (fs::exists(marker)) return dir;
  fs::remove_all(dir);
  fs::create_directories(dir);
  writeCatalogue(dir, documents);
  std::ofstream(marker) << documents << " documents\n";
  return dir;
}

} // namespace velanta::bench
