// Code pages of RTF text: which one a font's charset means, and decoding bytes in it.
#pragma once

#include <QByteArrayView>
#include <QString>

#include <array>
#include <memory>
#include <unordered_map>

class QStringDecoder;

namespace velanta::richtext::detail {

// \fcharset2 fonts: bytes map to U+F000 + byte, as Windows does, except in the font named
// Symbol, whose characters all exist in Unicode (its bullet is the list bullet of every
// word processor) and are shown as those.
inline constexpr int kSymbolCodePage = 42;
inline constexpr int kSymbolFontCodePage = 43;

// A private-use code of the Symbol font (as \uN gives it) as its Unicode character.
char16_t symbolFontCharacter(char16_t privateUse);

// The code page a font's \fcharsetN stands for; 0 for "use the document's" (charset 1, and
// unknown ones). ANSI_CHARSET (0) is Western (1252) whatever \ansicpg says: Russian word
// processors mark Cyrillic fonts \fcharset204, and a \fcharset0 font in a document with
// another \ansicpg holds Western text.
int codePageForCharset(int charset);

bool isDoubleByteCodePage(int codePage);

// Decoders by code page, built on first use and shared by one reading.
class CodePages {
public:
  CodePages();
  ~CodePages();
  CodePages(const CodePages &) = delete;
  CodePages &operator=(const CodePages &) = delete;

  // The 256 characters of a single-byte code page (unknown code pages read as 1252).
  const std::array<char16_t, 256> &singleByteTable(int codePage);
  // Appends bytes of a double-byte code page (or any other) decoded.
  void decodeInto(int codePage, QByteArrayView bytes, QString &out);

private:
  static void decodeMacJapanese(QStringDecoder &shiftJis, QByteArrayView bytes, QString &out);

  std::unordered_map<int, std::unique_ptr<std::array<char16_t, 256>>> tables_;
  std::unordered_map<int, std::unique_ptr<QStringDecoder>> decoders_;
  int lastCodePage_ = 0; // the table asked for last, found without a lookup
  const std::array<char16_t, 256> *lastTable_ = nullptr;
};

// The ICU name of a Windows or Mac code page, or nullptr when we know none.
const char *codePageName(int codePage);

} // namespace velanta::richtext::detail
