#include "richtext/code_pages.h"

#include <QStringDecoder>

namespace velanta::richtext::detail {

int codePageForCharset(int charset) {
  switch (charset) {
  case 0:
    return 0; // ANSI: the document's code page (1252 when it names none)
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
std::unique_ptr<QStringDecoder> decoderFor(int codePage) {
  const char *name = codePageName(codePage);
  auto decoder = std::make_unique<QStringDecoder>(name ? name : "windows-1252");
  if (!decoder->isValid()) decoder = std::make_unique<QStringDecoder>("windows-1252");
  return decoder;
}
} // namespace

CodePages::CodePages() = default;
CodePages::~CodePages() = default;

const std::array<char16_t, 256> &CodePages::singleByteTable(int codePage) {
  auto &slot = tables_[codePage];
  if (slot) return *slot;
  slot = std::make_unique<std::array<char16_t, 256>>();
  auto &table = *slot;
  if (codePage == kSymbolCodePage) {
    for (int b = 0; b < 256; ++b)
      table[b] = b < 0x20 ? char16_t(b) : char16_t(0xF000 + b);
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
  decoder->resetState();
  out.append(decoder->decode(bytes));
}

} // namespace velanta::richtext::detail
