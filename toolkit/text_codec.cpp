#include "toolkit/text_codec.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <optional>

namespace toolkit {

namespace {
// Qt's own converter table does not name 1251; the ICU-backed one accepts it by name.
constexpr const char *kCodePage = "windows-1251";
} // namespace

QString fromCp1251(QByteArrayView bytes) {
  QStringDecoder decoder(kCodePage);
  return decoder.decode(bytes);
}

QByteArray toCp1251(const QString &text) {
  {
    QStringEncoder whole(kCodePage, QStringConverter::Flag::Stateless);
    QByteArray bytes = whole.encode(text);
    if (!whole.hasError()) return bytes;
  }
  QByteArray out;
  out.reserve(text.size());
  // Encode character by character so that each unencodable one becomes exactly one "?".
  // After an error a fresh encoder: resetState() does not clear an encoder's error here.
  std::optional<QStringEncoder> encoder(std::in_place, kCodePage,
                                        QStringConverter::Flag::Stateless);
  for (qsizetype i = 0; i < text.size(); ++i) {
    const qsizetype len = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
    const QStringView ch = QStringView(text).mid(i, len);
    QByteArray bytes = encoder->encode(ch);
    if (encoder->hasError() || bytes.size() != 1) {
      encoder.emplace(kCodePage, QStringConverter::Flag::Stateless);
      bytes = "?";
    }
    out += bytes;
    i += len - 1;
  }
  return out;
}

bool fitsCp1251(const QString &text) {
  QStringEncoder encoder(kCodePage, QStringConverter::Flag::Stateless);
  const QByteArray bytes = encoder.encode(text);
  return !encoder.hasError() && bytes.size() == text.size();
}

} // namespace toolkit
