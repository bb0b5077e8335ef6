#include "ui/pictures/pictures.h"

#include "toolkit/jpeg_image.h"

#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>

#include <set>
#include <string>

#include <gtest/gtest.h>

namespace {

using ui::Picture;

QByteArray pictureBytes(Picture picture) {
  QFile file(ui::picturePath(picture));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

QImage bitmap(Picture picture) {
  return QImage::fromData(pictureBytes(picture), "BMP").convertToFormat(QImage::Format_RGB32);
}

quint32 le(const QByteArray &bytes, int at, int size) {
  quint32 value = 0;
  for (int i = size - 1; i >= 0; --i)
    value = (value << 8) | quint8(bytes[at + i]);
  return value;
}

std::string rgb(QRgb colour) {
  return std::to_string(qRed(colour)) + "," + std::to_string(qGreen(colour)) + "," +
         std::to_string(qBlue(colour));
}

// Rows of the header band that the strip and all five glyphs share.
const QRgb kBandTop = qRgb(15, 205, 254);
const QRgb kBandDeep = qRgb(0, 143, 239);
const QRgb kBandHighlight = qRgb(245, 250, 254);
const QRgb kBandBottom = qRgb(119, 202, 248);

struct Expected {
  Picture picture;
  const char *name;
  int width;
  int height;
};

const Expected kPictures[] = {
    {Picture::HeaderStrip, "header", 800, 50},
    {Picture::WordGlyph, "word", 121, 50},
    {Picture::NotepadGlyph, "notepad", 131, 50},
    {Picture::PrintGlyph, "print", 67, 50},
    {Picture::ExitGlyph, "exit", 81, 50},
    {Picture::UpdateGlyph, "update", 86, 50},
    {Picture::KindsStrip, "kinds strip", 270, 25},
    {Picture::KindIcon, "kind icon", 16, 16},
    {Picture::DocIcon, "doc icon", 16, 16},
    {Picture::SiteBanner, "site banner", 100, 300},
    {Picture::BanksBanner, "banks banner", 100, 300},
};

const Picture kGlyphs[] = {Picture::WordGlyph, Picture::NotepadGlyph, Picture::PrintGlyph,
                           Picture::ExitGlyph, Picture::UpdateGlyph};

bool isJpeg(Picture picture) {
  return picture == Picture::SiteBanner || picture == Picture::BanksBanner;
}

// The header of a 24-bit uncompressed BMP, read byte by byte rather than through a reader
// that would accept any variant.
void expectPlainBitmap(const QByteArray &bytes, const Expected &expected) {
  SCOPED_TRACE(expected.name);
  ASSERT_GE(bytes.size(), 54);
  const int stride = (expected.width * 3 + 3) & ~3;
  EXPECT_EQ(bytes.left(2), "BM");
  EXPECT_EQ(le(bytes, 2, 4), quint32(bytes.size()));     // file size
  EXPECT_EQ(le(bytes, 10, 4), 54u);                      // pixels right after headers
  EXPECT_EQ(le(bytes, 14, 4), 40u);                      // BITMAPINFOHEADER
  EXPECT_EQ(le(bytes, 18, 4), quint32(expected.width));  // width
  EXPECT_EQ(le(bytes, 22, 4), quint32(expected.height)); // height, bottom-up
  EXPECT_EQ(le(bytes, 26, 2), 1u);                       // planes
  EXPECT_EQ(le(bytes, 28, 2), 24u);                      // bits per pixel
  EXPECT_EQ(le(bytes, 30, 4), 0u);                       // BI_RGB: uncompressed
  EXPECT_EQ(bytes.size(), 54 + stride * expected.height);
  EXPECT_EQ(bitmap(expected.picture).size(), QSize(expected.width, expected.height));
}

// Walks the marker segments up to the scan: the first must be a JFIF APP0 and the only
// frame marker must be SOF0 (baseline sequential).
void expectBaselineJfif(const QByteArray &bytes, const Expected &expected) {
  SCOPED_TRACE(expected.name);
  ASSERT_GE(bytes.size(), 20);
  ASSERT_EQ(quint8(bytes[0]), 0xFF);
  ASSERT_EQ(quint8(bytes[1]), 0xD8);
  EXPECT_EQ(quint8(bytes[3]), 0xE0);
  EXPECT_EQ(bytes.mid(6, 5), QByteArray("JFIF\0", 5));
  std::set<int> frames;
  qsizetype at = 2;
  while (at + 4 <= bytes.size()) {
    ASSERT_EQ(quint8(bytes[at]), 0xFF) << "segment at " << at;
    const int marker = quint8(bytes[at + 1]);
    if (marker == 0xDA) break;
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
      frames.insert(marker);
    at += 2 + qsizetype((quint8(bytes[at + 2]) << 8) | quint8(bytes[at + 3]));
  }
  EXPECT_EQ(frames, std::set<int>{0xC0});
  const toolkit::JpegImage decoded = toolkit::decodeJpeg(bytes);
  ASSERT_TRUE(decoded.ok()) << decoded.error.toStdString();
  EXPECT_EQ(decoded.image.size(), QSize(expected.width, expected.height));
}

TEST(Pictures, EachHasItsSizeAndFormat) {
  for (const Expected &expected : kPictures) {
    const QByteArray bytes = pictureBytes(expected.picture);
    ASSERT_FALSE(bytes.isEmpty()) << qPrintable(ui::picturePath(expected.picture));
    if (isJpeg(expected.picture))
      expectBaselineJfif(bytes, expected);
    else
      expectPlainBitmap(bytes, expected);
  }
}

TEST(Pictures, HeaderStripIsTheGradientBand) {
  const QImage strip = bitmap(Picture::HeaderStrip);
  ASSERT_EQ(strip.size(), QSize(800, 50));
  for (int y = 0; y < strip.height(); ++y)
    for (int x = 1; x < strip.width(); ++x)
      ASSERT_EQ(strip.pixel(x, y), strip.pixel(0, y)) << "row " << y << " is not one colour";
  EXPECT_EQ(rgb(strip.pixel(0, 0)), rgb(kBandTop));
  for (int y = 40; y <= 47; ++y)
    EXPECT_EQ(rgb(strip.pixel(0, y)), rgb(kBandDeep)) << "row " << y;
  EXPECT_EQ(rgb(strip.pixel(0, 48)), rgb(kBandHighlight));
  EXPECT_EQ(rgb(strip.pixel(0, 49)), rgb(kBandBottom));
  // from light to deep without a step back in any channel
  for (int y = 1; y <= 40; ++y) {
    const QRgb above = strip.pixel(0, y - 1);
    const QRgb here = strip.pixel(0, y);
    EXPECT_LE(qRed(here), qRed(above)) << "row " << y;
    EXPECT_LE(qGreen(here), qGreen(above)) << "row " << y;
    EXPECT_LE(qBlue(here), qBlue(above)) << "row " << y;
  }
  EXPECT_NE(strip.pixel(0, 39), strip.pixel(0, 40)); // the gradient runs right up to row 40
}

// The bottom-left colour is drawn transparent: anywhere above the bottom row it would punch
// a hole into the picture.
void expectKeyColourOnlyInBottomRow(const QImage &image, const char *name) {
  const QRgb key = image.pixel(0, image.height() - 1);
  int holes = 0;
  for (int y = 0; y < image.height() - 1; ++y)
    for (int x = 0; x < image.width(); ++x)
      holes += image.pixel(x, y) == key;
  EXPECT_EQ(holes, 0) << name << ": key colour " << rgb(key) << " above the bottom row";
}

TEST(Pictures, GlyphsLieOnTheHeaderBand) {
  const QImage strip = bitmap(Picture::HeaderStrip);
  for (const Picture picture : kGlyphs) {
    const QImage glyph = bitmap(picture);
    const std::string name = ui::picturePath(picture).toStdString();
    ASSERT_EQ(glyph.height(), 50) << name;
    EXPECT_EQ(rgb(glyph.pixel(0, 49)), rgb(kBandBottom)) << name;
    expectKeyColourOnlyInBottomRow(glyph, name.c_str());
    // both edge columns are the band itself, so the buttons and the strip read as one band
    for (int y = 0; y < 50; ++y) {
      EXPECT_EQ(rgb(glyph.pixel(0, y)), rgb(strip.pixel(0, y))) << name << " row " << y;
      EXPECT_EQ(rgb(glyph.pixel(glyph.width() - 1, y)), rgb(strip.pixel(0, y)))
          << name << " row " << y;
    }
    // an icon above, white lettering below
    int drawnInIconRows = 0;
    int whiteInCaptionRows = 0;
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < glyph.width(); ++x) {
        const QRgb colour = glyph.pixel(x, y);
        if (y < 30)
          drawnInIconRows += colour != strip.pixel(0, y);
        else
          whiteInCaptionRows += colour == qRgb(255, 255, 255);
      }
    EXPECT_GT(drawnInIconRows, 200) << name;
    EXPECT_GT(whiteInCaptionRows, 40) << name;
  }
}

TEST(Pictures, KindsStripIsWhiteAboveItsBand) {
  const QImage strip = bitmap(Picture::KindsStrip);
  ASSERT_EQ(strip.size(), QSize(270, 25));
  expectKeyColourOnlyInBottomRow(strip, "kinds strip");
  for (int y = 0; y < 7; ++y)
    for (int x = 36; x < strip.width(); ++x)
      ASSERT_EQ(rgb(strip.pixel(x, y)), "255,255,255") << "x " << x << " y " << y;
  for (int y = 10; y <= 20; ++y)
    EXPECT_EQ(rgb(strip.pixel(269, y)), "58,154,223") << "row " << y;
  // the green arrow at the left rises out of the band into the white rows
  int greenAboveBand = 0;
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 36; ++x) {
      const QRgb c = strip.pixel(x, y);
      greenAboveBand += qGreen(c) > qRed(c) + 40 && qGreen(c) > qBlue(c) + 40;
    }
  EXPECT_GT(greenAboveBand, 5);
}

TEST(Pictures, RowIconsStandOnWhite) {
  for (const Picture picture : {Picture::KindIcon, Picture::DocIcon}) {
    const QImage icon = bitmap(picture);
    ASSERT_EQ(icon.size(), QSize(16, 16));
    for (const QPoint corner : {QPoint(0, 0), QPoint(15, 0), QPoint(0, 15)})
      EXPECT_EQ(rgb(icon.pixel(corner)), "255,255,255") << ui::picturePath(picture).toStdString();
  }
  const QImage kind = bitmap(Picture::KindIcon);
  const QRgb disc = kind.pixel(4, 4);
  EXPECT_GT(qGreen(disc), qRed(disc) + 40);
  EXPECT_GT(qGreen(disc), qBlue(disc) + 40);
  EXPECT_EQ(rgb(kind.pixel(8, 8)), "255,255,255"); // the plus sign's centre
}

// A banner cut short or damaged in its pixels gives an error from the decoder.
TEST(Pictures, DamagedBannerIsAnError) {
  const QByteArray banner = pictureBytes(Picture::SiteBanner);
  ASSERT_FALSE(banner.isEmpty());
  const toolkit::JpegImage cut = toolkit::decodeJpeg(banner.first(banner.size() / 2));
  EXPECT_FALSE(cut.ok());
  EXPECT_FALSE(cut.error.isEmpty());

  QByteArray damaged = banner;
  const qsizetype scan = damaged.indexOf(QByteArray("\xFF\xDA", 2));
  ASSERT_GT(scan, 0);
  const qsizetype middle = (scan + damaged.size()) / 2;
  damaged[middle] = char(0xFF);
  damaged[middle + 1] = char(0xD9);
  const toolkit::JpegImage broken = toolkit::decodeJpeg(damaged);
  EXPECT_FALSE(broken.ok());
  EXPECT_FALSE(broken.error.isEmpty());
}

} // namespace
