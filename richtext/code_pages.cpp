#include "richtext/code_pages.h"

#include <QStringDecoder>

namespace velanta::richtext::detail {

int codePageForCharset(int charset) {
  switch (charset) {
  case 0:
    return 1252;
  case 2:
    return kSymbolCodePage;
  case 77:
    return 10000;
  case 78:
    return 10001;
  case 79:
    return 10003;
  case 80:
    return 10008;
  case 81:
    return 10002;
  case 83:
    return 10005;
  case 84:
    return 10004;
  case 85:
    return 10006;
  case 86:
    return 10081;
  case 87:
    return 10021;
  case 88:
    return 10029;
  case 89:
    return 10007;
  case 128:
    return 932;
  case 129:
    return 949;
  case 130:
    return 1361;
  case 134:
    return 936;
  case 136:
    return 950;
  case 161:
    return 1253;
  case 162:
    return 1254;
  case 163:
    return 1258;
  case 177:
    return 1255;
  case 178:
    return 1256;
  case 186:
    return 1257;
  case 204:
    return 1251;
  case 222:
    return 874;
  case 238:
    return 1250;
  case 254:
    return 437;
  case 255:
    return 850;
  default:
    return 0;
  }
}

bool isDoubleByteCodePage(int codePage) {
  switch (codePage) {
  case 932:
  case 936:
  case 949:
  case 950:
  case 1361:
  case 10001:
  case 10002:
  case 10003:
  case 10008:
    return true;
  default:
    return false;
  }
}

const char *codePageName(int codePage) {
  switch (codePage) {
  case 437:
    return "IBM437";
  case 737:
    return "IBM737";
  case 775:
    return "IBM775";
  case 850:
    return "IBM850";
  case 852:
    return "IBM852";
  case 855:
    return "IBM855";
  case 857:
    return "IBM857";
  case 860:
    return "IBM860";
  case 861:
    return "IBM861";
  case 862:
    return "IBM862";
  case 863:
    return "IBM863";
  case 864:
    return "IBM864";
  case 865:
    return "IBM865";
  case 866:
    return "IBM866";
  case 869:
    return "IBM869";
  case 874:
    return "windows-874";
  case 932:
    return "windows-932";
  case 936:
    return "windows-936";
  case 949:
    return "windows-949";
  case 950:
    return "windows-950";
  case 1250:
    return "windows-1250";
  case 1251:
    return "windows-1251";
  case 1252:
    return "windows-1252";
  case 1253:
    return "windows-1253";
  case 1254:
    return "windows-1254";
  case 1255:
    return "windows-1255";
  case 1256:
    return "windows-1256";
  case 1257:
    return "windows-1257";
  case 1258:
    return "windows-1258";
  case 10000:
    return "macintosh";
  case 10001:
    return "Shift_JIS"; // Mac Japanese: close enough, ICU has no own table
  case 10002:
    return "Big5";
  case 10003:
    return "EUC-KR";
  case 10006:
    return "x-mac-greek";
  case 10007:
    return "x-mac-cyrillic";
  case 10008:
    return "GBK";
  case 10029:
    return "x-mac-ce";
  case 10081:
    return "x-mac-turkish";
  case 20866:
    return "KOI8-R";
  case 21866:
    return "KOI8-U";
  case 28591:
    return "ISO-8859-1";
  case 28595:
    return "ISO-8859-5";
  case 65001:
    return "UTF-8";
  default:
    return nullptr;
  }
}

namespace {
// The Symbol font's characters (Adobe's Symbol encoding) by byte; 0 where Unicode has no
// character of its own, and the private-use code U+F000 + byte stays.
constexpr std::array<char16_t, 256> kSymbolFont = {
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000,
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000,
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0020, 0x0021, 0x2200, 0x0023,
    0x2203, 0x0025, 0x0026, 0x220B, 0x0028, 0x0029, 0x2217, 0x002B, 0x002C, 0x2212, 0x002E, 0x002F,
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037, 0x0038, 0x0039, 0x003A, 0x003B,
    0x003C, 0x003D, 0x003E, 0x003F, 0x2245, 0x0391, 0x0392, 0x03A7, 0x0394, 0x0395, 0x03A6, 0x0393,
    0x0397, 0x0399, 0x03D1, 0x039A, 0x039B, 0x039C, 0x039D, 0x039F, 0x03A0, 0x0398, 0x03A1, 0x03A3,
    0x03A4, 0x03A5, 0x03C2, 0x03A9, 0x039E, 0x03A8, 0x0396, 0x005B, 0x2234, 0x005D, 0x22A5, 0x005F,
    0x203E, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3, 0x03B7, 0x03B9, 0x03D5, 0x03BA,
    0x03BB, 0x03BC, 0x03BD, 0x03BF, 0x03C0, 0x03B8, 0x03C1, 0x03C3, 0x03C4, 0x03C5, 0x03D6, 0x03C9,
    0x03BE, 0x03C8, 0x03B6, 0x007B, 0x007C, 0x007D, 0x223C, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000,
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000,
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000,
    0x0000, 0x0000, 0x0000, 0x0000, 0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663,
    0x2666, 0x2665, 0x2660, 0x2194, 0x2190, 0x2191, 0x2192, 0x2193, 0x00B0, 0x00B1, 0x2033, 0x2265,
    0x00D7, 0x221D, 0x2202, 0x2022, 0x00F7, 0x2260, 0x2261, 0x2248, 0x2026, 0x23D0, 0x23AF, 0x21B5,
    0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205, 0x2229, 0x222A, 0x2283, 0x2287, 0x2284,
    0x2282, 0x2286, 0x2208, 0x2209, 0x2220, 0x2207, 0x00AE, 0x00A9, 0x2122, 0x220F, 0x221A, 0x22C5,
    0x00AC, 0x2227, 0x2228, 0x21D4, 0x21D0, 0x21D1, 0x21D2, 0x21D3, 0x25CA, 0x2329, 0x00AE, 0x00A9,
    0x2122, 0x2211, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000,
    0x0000, 0x232A, 0x222B, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000,
    0x0000, 0x0000, 0x0000, 0x0000,
};

std::unique_ptr<QStringDecoder> decoderFor(int codePage) {
  const char *name = codePageName(codePage);
  auto decoder = std::make_unique<QStringDecoder>(name ? name : "windows-1252");
  if (!decoder->isValid()) decoder = std::make_unique<QStringDecoder>("windows-1252");
  return decoder;
}
} // namespace

char16_t symbolFontCharacter(char16_t privateUse) {
  if (privateUse < 0xF020 || privateUse > 0xF0FF) return privateUse;
  const char16_t mapped = kSymbolFont[privateUse - 0xF000];
  return mapped ? mapped : privateUse;
}

CodePages::CodePages() = default;
CodePages::~CodePages() = default;

const std::array<char16_t, 256> &CodePages::singleByteTable(int codePage) {
  if (codePage == lastCodePage_ && lastTable_) return *lastTable_;
  auto &slot = tables_[codePage];
  if (slot) {
    lastCodePage_ = codePage;
    lastTable_ = slot.get();
    return *slot;
  }
  slot = std::make_unique<std::array<char16_t, 256>>();
  auto &table = *slot;
  if (codePage == kSymbolCodePage || codePage == kSymbolFontCodePage) {
    for (int b = 0; b < 256; ++b) {
      const bool mapped = codePage == kSymbolFontCodePage && kSymbolFont[b] != 0;
      table[b] = b < 0x20 ? char16_t(b) : mapped ? kSymbolFont[b] : char16_t(0xF000 + b);
    }
    return table;
  }
  const auto decoder = decoderFor(codePage);
  for (int b = 0; b < 256; ++b) {
    const char byte = char(b);
    decoder->resetState();
    const QString one = decoder->decode(QByteArrayView(&byte, 1));
    table[b] = one.size() == 1 ? one.at(0).unicode() : char16_t(0xFFFD);
  }
  return table;
}

void CodePages::decodeInto(int codePage, QByteArrayView bytes, QString &out) {
  if (!isDoubleByteCodePage(codePage) && codePage != 65001) {
    const auto &table = singleByteTable(codePage);
    for (const char byte : bytes)
      out.append(QChar(table[static_cast<unsigned char>(byte)]));
    return;
  }
  auto &decoder = decoders_[codePage];
  if (!decoder) decoder = decoderFor(codePage);
  if (codePage == 10001) {
    decodeMacJapanese(*decoder, bytes, out);
    return;
  }
  decoder->resetState();
  out.append(decoder->decode(bytes));
}

// Mac Japanese is Shift-JIS with four single bytes of its own, which Shift-JIS lacks.
void CodePages::decodeMacJapanese(QStringDecoder &shiftJis, QByteArrayView bytes, QString &out) {
  const auto isLead = [](unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
  };
  qsizetype start = 0;
  const auto flush = [&](qsizetype end) {
    if (end > start) {
      shiftJis.resetState();
      out.append(shiftJis.decode(bytes.sliced(start, end - start)));
    }
  };
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (isLead(b)) {
      ++i; // its trail byte
      continue;
    }
    const char16_t own = b == 0xA0   ? 0x00A0
                         : b == 0xFD ? 0x00A9
                         : b == 0xFE ? 0x2122
                         : b == 0xFF ? 0x2026
                                     : 0;
    if (!own) continue;
    flush(i);
    out.append(QChar(own));
    start = i + 1;
  }
  flush(bytes.size());
}

} // namespace velanta::richtext::detail
