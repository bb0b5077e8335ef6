#include "toolkit/jpeg_image.h"

#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include <cstdlib>
#include <ostream>

#include <gtest/gtest.h>
#include <jpeglib.h>

namespace {

enum class Kind { Baseline420, Baseline444, Progressive, Greyscale, Cmyk };

// A picture with colour changing in both directions, so that any misplaced row, column or
// channel shows in the comparison.
QImage pattern(int width, int height) {
  QImage image(width, height, QImage::Format_RGB888);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, 128 + (x - y) / 2));
  return image;
}

// Encodes with libjpeg itself, so that each kind of file the decoder meets is made by the
// same library real files come from.
QByteArray encode(const QImage &source, Kind kind, int quality = 95) {
  const bool grey = kind == Kind::Greyscale;
  const bool cmyk = kind == Kind::Cmyk;
  const QImage image = source.convertToFormat(grey   ? QImage::Format_Grayscale8
                                              : cmyk ? QImage::Format_RGBX8888
                                                     : QImage::Format_RGB888);
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr errors{};
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  unsigned char *buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = JDIMENSION(image.width());
  cinfo.image_height = JDIMENSION(image.height());
  cinfo.input_components = grey ? 1 : cmyk ? 4 : 3;
  cinfo.in_color_space = grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  if (kind == Kind::Baseline444)
    cinfo.comp_info[0].h_samp_factor = cinfo.comp_info[0].v_samp_factor = 1;
  if (kind == Kind::Progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(image.constScanLine(int(cinfo.next_scanline)));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  QByteArray bytes(reinterpret_cast<const char *>(buffer), qsizetype(size));
  std::free(buffer);
  return bytes;
}

// Mean difference per channel between two pictures of the same size.
double meanDifference(const QImage &a, const QImage &b) {
  const QImage left = a.convertToFormat(QImage::Format_RGB888);
  const QImage right = b.convertToFormat(QImage::Format_RGB888);
  double sum = 0;
  for (int y = 0; y < left.height(); ++y)
    for (int x = 0; x < left.width() * 3; ++x)
      sum += std::abs(int(left.constScanLine(y)[x]) - int(right.constScanLine(y)[x]));
  return sum / (left.width() * 3.0 * left.height());
}

struct DecodeCase {
  const char *name;
  Kind kind;
  bool grey;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const DecodeCase &decodeCase, std::ostream *out) {
  *out << decodeCase.name;
}

class JpegDecodesKind : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(JpegDecodesKind, ToTheEncodedPicture) {
  const QImage source = pattern(37, 23); // not a multiple of the 8- or 16-pixel blocks
  const QByteArray bytes = encode(source, GetParam().kind);
  const toolkit::JpegImage decoded = toolkit::decodeJpeg(bytes);
  ASSERT_TRUE(decoded.ok()) << decoded.error.toStdString();
  EXPECT_TRUE(decoded.error.isEmpty());
  EXPECT_EQ(decoded.image.size(), source.size());
  EXPECT_EQ(decoded.image.format(), QImage::Format_RGB888);
  const QImage expected =
      GetParam().grey ? source.convertToFormat(QImage::Format_Grayscale8) : source;
  EXPECT_LT(meanDifference(decoded.image, expected), 4.0);
  // Qt's own JPEG reader, built on the same library, is a second opinion where it is installed.
  if (QImageReader::supportedImageFormats().contains("jpeg")) {
    const QImage qtDecoded = QImage::fromData(bytes, "JPEG");
    ASSERT_FALSE(qtDecoded.isNull());
    EXPECT_LT(meanDifference(decoded.image, qtDecoded), 1.0);
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, JpegDecodesKind,
                         ::testing::Values(DecodeCase{"Baseline420", Kind::Baseline420, false},
                                           DecodeCase{"Baseline444", Kind::Baseline444, false},
                                           DecodeCase{"Progressive", Kind::Progressive, false},
                                           DecodeCase{"Greyscale", Kind::Greyscale, true}),
                         [](const auto &info) { return std::string(info.param.name); });

// Every cut of a file short of its end must be an error: a picture whose lower part libjpeg
// made up in grey is not the picture.
TEST(JpegImage, EveryTruncationIsAnError) {
  const QByteArray bytes = encode(pattern(24, 16), Kind::Baseline420);
  for (qsizetype length = 0; length < bytes.size(); ++length) {
    const toolkit::JpegImage decoded = toolkit::decodeJpeg(bytes.first(length));
    EXPECT_FALSE(decoded.ok()) << "cut at " << length << " of " << bytes.size();
    EXPECT_FALSE(decoded.error.isEmpty()) << "cut at " << length;
  }
}

TEST(JpegImage, TruncatedProgressiveFileIsAnError) {
  const QByteArray bytes = encode(pattern(40, 40), Kind::Progressive);
  const toolkit::JpegImage decoded = toolkit::decodeJpeg(bytes.first(bytes.size() * 2 / 3));
  EXPECT_FALSE(decoded.ok());
  EXPECT_FALSE(decoded.error.isEmpty());
}

// Damage anywhere in a file: the decoder either reports an error or returns a picture of the
// stated size; it never crashes or ends the process (the sanitizer build checks the memory).
TEST(JpegImage, DamagedByteAnywhereNeverCrashes) {
  const QByteArray bytes = encode(pattern(24, 16), Kind::Baseline420);
  for (const char damage : {char(0x00), char(0xFF), char(0x5A)}) {
    for (qsizetype at = 0; at < bytes.size(); ++at) {
      QByteArray damaged = bytes;
      damaged[at] = damage;
      const toolkit::JpegImage decoded = toolkit::decodeJpeg(damaged);
      if (decoded.ok())
        EXPECT_TRUE(decoded.image.width() > 0 && decoded.image.height() > 0);
      else
        EXPECT_FALSE(decoded.error.isEmpty()) << "byte " << at;
    }
  }
}

TEST(JpegImage, MarkerInsideTheScanIsAnError) {
  QByteArray bytes = encode(pattern(64, 64), Kind::Baseline420);
  const qsizetype scan = bytes.indexOf(QByteArray("\xFF\xDA", 2));
  ASSERT_GT(scan, 0);
  const qsizetype middle = (scan + bytes.size()) / 2;
  bytes[middle] = char(0xFF);
  bytes[middle + 1] = char(0xD9); // an end-of-image marker half way through the pixels
  const toolkit::JpegImage decoded = toolkit::decodeJpeg(bytes);
  EXPECT_FALSE(decoded.ok());
  EXPECT_FALSE(decoded.error.isEmpty());
}

TEST(JpegImage, OtherFilesAreErrors) {
  QByteArray bitmap(64, '\0');
  bitmap[0] = 'B';
  bitmap[1] = 'M';
  for (const QByteArray &bytes : {QByteArray(), QByteArray("\xFF\xD8", 2), bitmap}) {
    const toolkit::JpegImage decoded = toolkit::decodeJpeg(bytes);
    EXPECT_FALSE(decoded.ok()) << bytes.size() << " bytes";
    EXPECT_FALSE(decoded.error.isEmpty()) << bytes.size() << " bytes";
  }
}

TEST(JpegImage, CmykIsRefused) {
  const toolkit::JpegImage decoded = toolkit::decodeJpeg(encode(pattern(16, 16), Kind::Cmyk));
  EXPECT_FALSE(decoded.ok());
  EXPECT_TRUE(decoded.error.contains(QStringLiteral("colour space")))
      << decoded.error.toStdString();
}

// A header announcing a huge picture is refused before any memory is taken for it.
TEST(JpegImage, HugeDimensionsAreRefused) {
  QByteArray bytes = encode(pattern(16, 16), Kind::Baseline420);
  const qsizetype frame = bytes.indexOf(QByteArray("\xFF\xC0", 2));
  ASSERT_GT(frame, 0);
  // SOF0: marker, length (2), precision (1), height (2), width (2)
  for (const qsizetype field : {frame + 5, frame + 7}) {
    bytes[field] = char(0xFF);
    bytes[field + 1] = char(0x00); // 65280: within JPEG's limit, beyond ours
  }
  const toolkit::JpegImage decoded = toolkit::decodeJpeg(bytes);
  EXPECT_FALSE(decoded.ok());
  EXPECT_TRUE(decoded.error.contains(QStringLiteral("too large"))) << decoded.error.toStdString();
}

} // namespace
