// JPEG pictures of a form description (the banners), decoded with libjpeg.
#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QString>

namespace toolkit {

// A decoded picture, or why there is none.
struct JpegImage {
  QImage image; // RGB888; null when decoding failed
  QString error;

  bool ok() const { return !image.isNull(); }
};

// Decodes a whole JPEG file held in memory: baseline or progressive, colour or greyscale.
// Damaged data (a bad marker, a cut-off file, corrupt entropy-coded data) is an error, never
// a half-grey picture and never an exit of the process; so is a picture larger than
// kMaxJpegPixels or in a colour space other than greyscale, YCbCr or RGB.
JpegImage decodeJpeg(QByteArrayView bytes);

inline constexpr qint64 kMaxJpegPixels = 64LL * 1024 * 1024;

} // namespace toolkit
