// velanta-make-pictures FOLDER: draws the main window's eleven pictures into FOLDER.
//
// The bitmaps are written byte by byte as 24-bit uncompressed BMP and the two banners
// through libjpeg as baseline JFIF, so the output does not depend on which image plugins
// Qt happens to have. Text uses DejaVu (Cyrillic included), so the output is the same on
// every machine with the same fonts; run it again after changing a drawing and commit the
// output together with this file.
#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>
#include <QTransform>

#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include <jpeglib.h>

namespace {

// --- The header band -----------------------------------------------------------------

constexpr int kBandHeight = 50;
constexpr int kGradientEndRow = 40;
const QColor kBandTop(15, 205, 254);
const QColor kBandDeep(0, 143, 239);
const QColor kBandHighlight(245, 250, 254);
const QColor kBandBottom(119, 202, 248);

// Colour of one row of the header band, shared by the strip and the five glyphs.
QColor bandRow(int row) {
  if (row == kBandHeight - 1) return kBandBottom;
  if (row == kBandHeight - 2) return kBandHighlight;
  if (row >= kGradientEndRow) return kBandDeep;
  const auto mix = [row](int from, int to) {
    return static_cast<int>(std::lround(from + (to - from) * row / double(kGradientEndRow)));
  };
  return QColor(mix(kBandTop.red(), kBandDeep.red()), mix(kBandTop.green(), kBandDeep.green()),
                mix(kBandTop.blue(), kBandDeep.blue()));
}

QImage band(int width) {
  QImage image(width, kBandHeight, QImage::Format_RGB32);
  for (int y = 0; y < kBandHeight; ++y) {
    const QRgb colour = bandRow(y).rgb();
    auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
    std::fill(line, line + width, colour);
  }
  return image;
}

// A picture drawn with a transparent colour (its bottom-left pixel) must not hold that
// colour anywhere above its bottom row, or holes would show: such pixels are nudged by one
// step of blue, which no eye can tell.
void keepKeyColourInBottomRow(QImage &image) {
  const QRgb key = image.pixel(0, image.height() - 1);
  for (int y = 0; y < image.height() - 1; ++y) {
    auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x)
      if ((line[x] & 0xFFFFFF) == (key & 0xFFFFFF)) {
        const int blue = qBlue(key);
        line[x] = qRgb(qRed(key), qGreen(key), blue > 0 ? blue - 1 : 1);
      }
  }
}

// --- Fonts and text --------------------------------------------------------------------

// DejaVu Sans Condensed Bold stays crisp at 10-12 pixels and fits the narrow glyphs;
// plain DejaVu Sans is the fallback when the condensed faces are not installed.
QString g_family = QStringLiteral("DejaVu Sans");

void chooseFamily() {
  const QString condensed = QStringLiteral("DejaVu Sans Condensed");
  if (QFontDatabase::families().contains(condensed))
    g_family = condensed;
  else
    std::fprintf(stderr, "velanta-make-pictures: %s not found, drawing text with %s\n",
                 qPrintable(condensed), qPrintable(g_family));
}

QFont font(int pixelSize, bool bold) {
  QFont f(g_family);
  f.setPixelSize(pixelSize);
  f.setBold(bold);
  f.setHintingPreference(QFont::PreferVerticalHinting);
  f.setStyleStrategy(QFont::PreferAntialias);
  return f;
}

// White text with a soft dark shadow one pixel down and right, so that it reads on the
// light top of the band as well as on the deep blue.
void shadowedText(QPainter &p, const QRectF &box, const QString &text, const QFont &f,
                  int flags = Qt::AlignCenter, const QColor &colour = Qt::white,
                  const QColor &shadow = QColor(0, 50, 120, 120)) {
  p.setFont(f);
  p.setPen(shadow);
  p.drawText(box.translated(1, 1), flags, text);
  p.setPen(colour);
  p.drawText(box, flags, text);
}

// --- Icon pieces -----------------------------------------------------------------------

QLinearGradient vertical(qreal top, qreal bottom, const QColor &from, const QColor &to) {
  QLinearGradient g(0, top, 0, bottom);
  g.setColorAt(0, from);
  g.setColorAt(1, to);
  return g;
}

// A paper sheet with a folded top-right corner.
QPainterPath pageShape(const QRectF &r, qreal fold) {
  QPainterPath path;
  path.moveTo(r.left(), r.top());
  path.lineTo(r.right() - fold, r.top());
  path.lineTo(r.right(), r.top() + fold);
  path.lineTo(r.right(), r.bottom());
  path.lineTo(r.left(), r.bottom());
  path.closeSubpath();
  return path;
}

void drawSoftShadow(QPainter &p, const QPainterPath &shape, const QPointF &offset, int alpha) {
  p.save();
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 40, 100, alpha));
  p.drawPath(shape.translated(offset));
  p.restore();
}

// A pencil lying from `tail` to `tip`, `width` thick; at icon size the eraser is left off.
void drawPencil(QPainter &p, QPointF tail, QPointF tip, qreal width, bool withEraser = true) {
  const QLineF axis(tail, tip);
  const qreal length = axis.length();
  p.save();
  p.translate(tail);
  p.rotate(-axis.angle());
  const qreal half = width / 2;
  const qreal cone = width * 1.6;
  const qreal eraser = withEraser ? width * 1.1 : 0;
  const qreal ferrule = withEraser ? width * 0.7 : 0;
  if (withEraser) {
    p.setPen(QPen(QColor(120, 40, 50), 0.6));
    p.setBrush(vertical(-half, half, QColor(250, 150, 160), QColor(200, 80, 95)));
    p.drawRoundedRect(QRectF(0, -half, eraser, width), 1, 1);
    p.setPen(QPen(QColor(110, 110, 110), 0.6));
    p.setBrush(vertical(-half, half, QColor(235, 235, 235), QColor(150, 150, 150)));
    p.drawRect(QRectF(eraser, -half, ferrule, width));
  }
  // body
  const qreal bodyStart = eraser + ferrule;
  const qreal bodyEnd = length - cone;
  p.setPen(QPen(QColor(150, 100, 0), 0.6));
  p.setBrush(vertical(-half, half, QColor(255, 226, 90), QColor(230, 160, 20)));
  p.drawRect(QRectF(bodyStart, -half, bodyEnd - bodyStart, width));
  // sharpened wood and lead
  QPainterPath wood;
  wood.moveTo(bodyEnd, -half);
  wood.lineTo(length, 0);
  wood.lineTo(bodyEnd, half);
  wood.closeSubpath();
  p.setPen(QPen(QColor(150, 110, 60), 0.6));
  p.setBrush(QColor(245, 215, 170));
  p.drawPath(wood);
  QPainterPath lead;
  const qreal leadStart = length - cone * 0.38;
  lead.moveTo(leadStart, -half * 0.38);
  lead.lineTo(length, 0);
  lead.lineTo(leadStart, half * 0.38);
  lead.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(50, 50, 55));
  p.drawPath(lead);
  p.restore();
}

// A spiral-bound notepad with ruled lines in `r`.
void drawNotepad(QPainter &p, const QRectF &r, int rings, qreal lineStep) {
  const QPainterPath sheet = [&] {
    QPainterPath path;
    path.addRoundedRect(r, 1.2, 1.2);
    return path;
  }();
  drawSoftShadow(p, sheet, QPointF(1, 1), 70);
  p.setPen(QPen(QColor(110, 125, 150), 0.8));
  p.setBrush(vertical(r.top(), r.bottom(), QColor(255, 255, 255), QColor(232, 238, 246)));
  p.drawPath(sheet);
  // binding strip
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(60, 100, 170));
  p.drawRect(QRectF(r.left() + 0.4, r.top() + 0.4, r.width() - 0.8, lineStep * 0.9));
  // rules and margin
  p.setPen(QPen(QColor(130, 170, 225), 0.8));
  for (qreal y = r.top() + lineStep * 2.1; y < r.bottom() - lineStep * 0.5; y += lineStep)
    p.drawLine(QPointF(r.left() + 1.5, y), QPointF(r.right() - 1.5, y));
  p.setPen(QPen(QColor(230, 110, 110), 0.8));
  p.drawLine(QPointF(r.left() + r.width() * 0.22, r.top() + lineStep),
             QPointF(r.left() + r.width() * 0.22, r.bottom() - 1));
  // spiral rings over the binding
  p.setPen(QPen(QColor(80, 80, 90), 1.0));
  p.setBrush(Qt::NoBrush);
  const qreal gap = r.width() / rings;
  for (int i = 0; i < rings; ++i) {
    const qreal x = r.left() + gap * (i + 0.5);
    p.drawLine(QPointF(x, r.top() - lineStep * 0.5), QPointF(x, r.top() + lineStep * 0.6));
  }
}

// --- The five glyphs -------------------------------------------------------------------

constexpr qreal kCaptionTop = 31;
constexpr qreal kCaptionHeight = 15;

QImage glyph(int width, const QString &caption, const std::function<void(QPainter &)> &icon) {
  QImage image = band(width);
  {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.save();
    p.translate(width / 2.0, 0); // icons are drawn around x = 0
    icon(p);
    p.restore();
    shadowedText(p, QRectF(0, kCaptionTop, width, kCaptionHeight), caption, font(11, true));
  }
  keepKeyColourInBottomRow(image);
  return image;
}

void wordIcon(QPainter &p) {
  const QRectF page(-7, 3, 19, 25);
  const QPainterPath sheet = pageShape(page, 6);
  drawSoftShadow(p, sheet, QPointF(1.2, 1.2), 80);
  p.setPen(QPen(QColor(100, 120, 150), 0.8));
  p.setBrush(vertical(page.top(), page.bottom(), Qt::white, QColor(226, 234, 245)));
  p.drawPath(sheet);
  // the folded corner
  QPainterPath fold;
  fold.moveTo(page.right() - 6, page.top());
  fold.lineTo(page.right() - 6, page.top() + 6);
  fold.lineTo(page.right(), page.top() + 6);
  fold.closeSubpath();
  p.setBrush(QColor(200, 212, 230));
  p.drawPath(fold);
  // lines of text
  p.setPen(QPen(QColor(120, 150, 200), 1.2, Qt::SolidLine, Qt::FlatCap));
  for (int i = 0; i < 5; ++i) {
    const qreal y = page.top() + 9 + i * 3.2;
    const qreal end = i == 4 ? page.right() - 7 : page.right() - 2.5;
    p.drawLine(QPointF(page.left() + 7, y), QPointF(end, y));
  }
  // a badge with a W on the page's left edge
  const QRectF badge(-14, 9, 15, 15);
  QPainterPath badgePath;
  badgePath.addRoundedRect(badge, 2.5, 2.5);
  drawSoftShadow(p, badgePath, QPointF(1, 1), 90);
  p.setPen(QPen(QColor(15, 45, 110), 0.8));
  p.setBrush(vertical(badge.top(), badge.bottom(), QColor(70, 125, 215), QColor(25, 70, 160)));
  p.drawPath(badgePath);
  p.setPen(Qt::white);
  p.setFont(font(12, true));
  p.drawText(badge.adjusted(0, 0, 0, 0.5), Qt::AlignCenter, QStringLiteral("W"));
}

void notepadIcon(QPainter &p) {
  drawNotepad(p, QRectF(-13, 4, 19, 24), 4, 3.6);
  drawPencil(p, QPointF(12, 5), QPointF(-3, 25), 4.6);
}

void printerIcon(QPainter &p) {
  // paper waiting at the back
  const QRectF paperIn(-8, 3, 16, 11);
  p.setPen(QPen(QColor(120, 130, 150), 0.8));
  p.setBrush(QColor(250, 252, 255));
  p.drawRect(paperIn);
  // body
  const QRectF body(-14, 11, 28, 12);
  QPainterPath bodyPath;
  bodyPath.addRoundedRect(body, 2.5, 2.5);
  drawSoftShadow(p, bodyPath, QPointF(1, 1.2), 90);
  p.setPen(QPen(QColor(60, 65, 80), 0.9));
  p.setBrush(vertical(body.top(), body.bottom(), QColor(238, 240, 244), QColor(150, 156, 168)));
  p.drawPath(bodyPath);
  // slot and lamp
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(55, 60, 72));
  p.drawRect(QRectF(-10, 19, 20, 1.6));
  p.setBrush(QColor(60, 220, 90));
  p.drawEllipse(QPointF(10.5, 14.6), 1.3, 1.3);
  // printed page coming out at the front
  const QRectF paperOut(-9, 20, 18, 9);
  p.setPen(QPen(QColor(120, 130, 150), 0.8));
  p.setBrush(vertical(paperOut.top(), paperOut.bottom(), Qt::white, QColor(230, 236, 244)));
  p.drawRect(paperOut);
  p.setPen(QPen(QColor(130, 150, 190), 1.0, Qt::SolidLine, Qt::FlatCap));
  p.drawLine(QPointF(-6, 23.5), QPointF(6, 23.5));
  p.drawLine(QPointF(-6, 26.2), QPointF(3, 26.2));
}

// A glossy disc of radius 13 around (0, 16), with a light rim against the band.
void drawDisc(QPainter &p, const QColor &light, const QColor &dark, const QColor &rim) {
  const QPointF centre(0, 16);
  QPainterPath disc;
  disc.addEllipse(centre, 13, 13);
  drawSoftShadow(p, disc, QPointF(1, 1.2), 90);
  QRadialGradient shade(centre + QPointF(-4, -5), 17);
  shade.setColorAt(0, light);
  shade.setColorAt(1, dark);
  p.setPen(QPen(rim, 1.3));
  p.setBrush(shade);
  p.drawPath(disc);
  // gloss on the upper half
  QPainterPath gloss;
  gloss.addEllipse(QRectF(-9, 4.5, 18, 10));
  p.setPen(Qt::NoPen);
  p.setBrush(vertical(4.5, 14.5, QColor(255, 255, 255, 130), QColor(255, 255, 255, 10)));
  p.drawPath(gloss);
}

void exitIcon(QPainter &p) {
  drawDisc(p, QColor(255, 120, 100), QColor(170, 20, 20), QColor(255, 235, 230));
  QPen stroke(Qt::white, 2.6, Qt::SolidLine, Qt::RoundCap);
  p.setPen(stroke);
  p.setBrush(Qt::NoBrush);
  // the switch symbol: an open ring with a bar through its gap
  const QRectF ring(-7, 9.5, 14, 14);
  p.drawArc(ring, 120 * 16, -300 * 16);
  p.drawLine(QPointF(0, 7.5), QPointF(0, 16.5));
}

void updateIcon(QPainter &p) {
  drawDisc(p, QColor(90, 150, 240), QColor(10, 45, 140), QColor(225, 240, 255));
  // a gear: eight teeth around a wheel with a hole
  const QPointF centre(0, 16.5);
  QPainterPath gear;
  constexpr int kTeeth = 8;
  for (int i = 0; i < kTeeth * 2; ++i) {
    const qreal radius = (i % 2 == 0) ? 8.6 : 6.4;
    for (const qreal edge : {-0.42, 0.42}) {
      const qreal angle = (i + edge) * M_PI / kTeeth;
      const QPointF point = centre + QPointF(radius * std::cos(angle), radius * std::sin(angle));
      if (gear.elementCount() == 0)
        gear.moveTo(point);
      else
        gear.lineTo(point);
    }
  }
  gear.closeSubpath();
  QPainterPath hole;
  hole.addEllipse(centre, 2.6, 2.6);
  gear = gear.subtracted(hole);
  p.setPen(QPen(QColor(20, 50, 120), 0.7));
  p.setBrush(vertical(8, 25, Qt::white, QColor(195, 210, 230)));
  p.drawPath(gear);
}

// --- The strip picture -----------------------------------------------------------------

QImage headerStrip() {
  return band(800);
}

// --- The kinds strip -------------------------------------------------------------------

constexpr int kKindsWidth = 270;
constexpr int kKindsHeight = 25;
constexpr int kKindsBandTop = 7;
const QColor kKindsBlue(58, 154, 223);

QColor kindsRow(int row) {
  if (row < kKindsBandTop) return Qt::white;
  switch (row - kKindsBandTop) {
  case 0:
    return QColor(128, 192, 240);
  case 1:
    return QColor(88, 172, 232);
  default:
    break;
  }
  if (row == kKindsHeight - 2) return QColor(46, 136, 205);
  if (row == kKindsHeight - 1) return QColor(34, 116, 184);
  return kKindsBlue;
}

QImage kindsStrip() {
  QImage image(kKindsWidth, kKindsHeight, QImage::Format_RGB32);
  for (int y = 0; y < kKindsHeight; ++y) {
    auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
    std::fill(line, line + kKindsWidth, kindsRow(y).rgb());
  }
  {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    // A right-pointing arrow whose head rises above the band into the white rows.
    QPainterPath arrow;
    arrow.moveTo(3, 10.5);
    arrow.lineTo(16, 10.5);
    arrow.lineTo(16, 2.5);
    arrow.lineTo(29, 13);
    arrow.lineTo(16, 23.5);
    arrow.lineTo(16, 15.5);
    arrow.lineTo(3, 15.5);
    arrow.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 60, 20, 70));
    p.drawPath(arrow.translated(1, 1));
    p.setPen(QPen(QColor(20, 105, 30), 1.0, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(vertical(2.5, 23.5, QColor(150, 230, 110), QColor(40, 150, 45)));
    p.drawPath(arrow);
    p.setPen(QPen(QColor(255, 255, 255, 120), 1.0));
    p.drawLine(QPointF(4.5, 11.7), QPointF(16.5, 11.7));
    shadowedText(p, QRectF(36, kKindsBandTop + 1, kKindsWidth - 40, 15),
                 QStringLiteral("Виды договоров"), font(12, true), Qt::AlignLeft | Qt::AlignVCenter,
                 Qt::white, QColor(0, 50, 110, 110));
  }
  keepKeyColourInBottomRow(image);
  return image;
}

// --- The two row icons -----------------------------------------------------------------

QImage whiteSquare() {
  QImage image(16, 16, QImage::Format_RGB32);
  image.fill(Qt::white);
  return image;
}

QImage kindIcon() {
  QImage image = whiteSquare();
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QRadialGradient shade(QPointF(6, 5.5), 9);
  shade.setColorAt(0, QColor(120, 220, 100));
  shade.setColorAt(1, QColor(25, 135, 35));
  p.setPen(QPen(QColor(20, 110, 30), 1.0));
  p.setBrush(shade);
  p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawRect(4, 7, 8, 2);
  p.drawRect(7, 4, 2, 8);
  return image;
}

QImage docIcon() {
  QImage image = whiteSquare();
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, false);
  // sheet with a blue binding and ruled lines, drawn to whole pixels to stay sharp
  p.setPen(QColor(100, 115, 140));
  p.setBrush(QColor(252, 253, 255));
  p.drawRect(1, 2, 10, 12);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(60, 100, 170));
  p.drawRect(2, 3, 9, 2);
  p.setPen(QColor(130, 170, 225));
  for (int y = 7; y <= 13; y += 2)
    p.drawLine(3, y, 9, y);
  p.setPen(QColor(80, 80, 90));
  for (int x = 3; x <= 9; x += 3)
    p.drawLine(x, 1, x, 3);
  p.setRenderHint(QPainter::Antialiasing);
  drawPencil(p, QPointF(15.4, 3.6), QPointF(6.6, 14.6), 3.4, false);
  return image;
}

// --- The banners -----------------------------------------------------------------------

constexpr int kBannerWidth = 100;
constexpr int kBannerHeight = 300;

QImage bannerField() {
  QImage image(kBannerWidth, kBannerHeight, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(image.rect(), vertical(0, kBannerHeight, QColor(12, 52, 140), QColor(20, 120, 215)));
  // soft light from the upper left
  QRadialGradient glow(QPointF(20, 40), 140);
  glow.setColorAt(0, QColor(120, 190, 255, 70));
  glow.setColorAt(1, QColor(120, 190, 255, 0));
  p.fillRect(image.rect(), glow);
  // a few faint diagonal streaks
  p.setPen(QPen(QColor(255, 255, 255, 14), 9));
  for (int i = 0; i < 4; ++i)
    p.drawLine(QPointF(-40 + i * 45, 300), QPointF(140 + i * 45, -20));
  // frame
  p.setPen(QPen(QColor(8, 30, 90), 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(0.5, 0.5, kBannerWidth - 1, kBannerHeight - 1));
  p.setPen(QPen(QColor(255, 255, 255, 45), 1));
  p.drawRect(QRectF(1.5, 1.5, kBannerWidth - 3, kBannerHeight - 3));
  return image;
}

void bannerLine(QPainter &p, qreal top, qreal height, const QString &text, const QFont &f,
                const QColor &colour = Qt::white) {
  shadowedText(p, QRectF(2, top, kBannerWidth - 4, height), text, f, Qt::AlignCenter, colour,
               QColor(0, 20, 60, 150));
}

// A closed curve through the midpoints of a polygon's sides, bending at its corners.
QPainterPath smoothClosedPath(const std::vector<QPointF> &corners) {
  QPainterPath path;
  const std::size_t n = corners.size();
  const auto middle = [&](std::size_t i) { return (corners[i % n] + corners[(i + 1) % n]) / 2; };
  path.moveTo(middle(0));
  for (std::size_t i = 1; i <= n; ++i)
    path.quadTo(corners[i % n], middle(i));
  path.closeSubpath();
  return path;
}

void drawGlobe(QPainter &p, const QPointF &centre, qreal radius) {
  // halo
  QRadialGradient halo(centre, radius * 1.25);
  halo.setColorAt(0.78, QColor(140, 210, 255, 110));
  halo.setColorAt(1, QColor(140, 210, 255, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(halo);
  p.drawEllipse(centre, radius * 1.25, radius * 1.25);

  QPainterPath sphere;
  sphere.addEllipse(centre, radius, radius);
  QRadialGradient ocean(centre + QPointF(-radius * 0.35, -radius * 0.4), radius * 1.35);
  ocean.setColorAt(0, QColor(110, 200, 255));
  ocean.setColorAt(0.55, QColor(25, 110, 205));
  ocean.setColorAt(1, QColor(5, 35, 110));
  p.setBrush(ocean);
  p.drawPath(sphere);

  p.save();
  p.setClipPath(sphere);
  // land: a few continents outlined by smooth curves, in units of the radius
  const auto continent = [&](std::initializer_list<QPointF> outline) {
    std::vector<QPointF> points;
    for (const QPointF &point : outline)
      points.push_back(centre + point * radius);
    return smoothClosedPath(points);
  };
  QPainterPath land;
  land.addPath(continent({{-0.10, -0.78},
                          {0.30, -0.86},
                          {0.72, -0.62},
                          {0.92, -0.22},
                          {0.66, -0.02},
                          {0.50, -0.16},
                          {0.30, 0.02},
                          {0.10, -0.20},
                          {-0.18, -0.30},
                          {-0.30, -0.56}}));
  land.addPath(continent({{-0.24, -0.16},
                          {0.06, -0.10},
                          {0.22, 0.10},
                          {0.18, 0.42},
                          {0.02, 0.76},
                          {-0.14, 0.58},
                          {-0.28, 0.24},
                          {-0.44, 0.02}}));
  land.addPath(
      continent({{-0.98, -0.50}, {-0.72, -0.62}, {-0.58, -0.34}, {-0.72, -0.02}, {-0.90, 0.12}}));
  land.addPath(continent({{0.50, 0.40}, {0.74, 0.34}, {0.80, 0.56}, {0.56, 0.62}}));
  QRadialGradient green(centre + QPointF(-radius * 0.35, -radius * 0.4), radius * 1.4);
  green.setColorAt(0, QColor(150, 225, 120));
  green.setColorAt(0.6, QColor(60, 160, 70));
  green.setColorAt(1, QColor(20, 80, 40));
  p.setBrush(green);
  p.drawPath(land);
  // meridians and parallels
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(255, 255, 255, 70), 0.8));
  for (const qreal k : {0.0, 0.38, 0.72, 0.93})
    p.drawEllipse(centre, radius * k, radius);
  for (const qreal k : {-0.7, -0.35, 0.0, 0.35, 0.7}) {
    const qreal y = centre.y() + k * radius;
    const qreal half = radius * std::sqrt(1 - k * k);
    p.drawLine(QPointF(centre.x() - half, y), QPointF(centre.x() + half, y));
  }
  // gloss
  QRadialGradient gloss(centre + QPointF(-radius * 0.4, -radius * 0.5), radius * 0.7);
  gloss.setColorAt(0, QColor(255, 255, 255, 150));
  gloss.setColorAt(1, QColor(255, 255, 255, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(gloss);
  p.drawPath(sphere);
  p.restore();

  p.setPen(QPen(QColor(200, 235, 255, 160), 1.0));
  p.setBrush(Qt::NoBrush);
  p.drawPath(sphere);
}

QImage siteBanner() {
  QImage image = bannerField();
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  const QColor gold(255, 214, 90);
  bannerLine(p, 12, 22, QStringLiteral("ВЕЛАНТА"), font(17, true));
  bannerLine(p, 33, 14, QStringLiteral("сборник документов"), font(9, false),
             QColor(200, 228, 255));
  p.setPen(QPen(QColor(255, 255, 255, 110), 1));
  p.drawLine(QPointF(18, 54.5), QPointF(82, 54.5));
  const QFont news = font(12, true);
  bannerLine(p, 64, 16, QStringLiteral("Новые"), news, gold);
  bannerLine(p, 80, 16, QStringLiteral("договоры"), news, gold);
  bannerLine(p, 96, 16, QStringLiteral("и обновления"), news, gold);
  bannerLine(p, 120, 14, QStringLiteral("на сайте"), font(11, true));
  bannerLine(p, 134, 14, QStringLiteral("программы"), font(11, true));
  drawGlobe(p, QPointF(50, 218), 40);
  bannerLine(p, 268, 16, QStringLiteral("Заходите!"), font(12, true), gold);
  return image;
}

void drawWindowWithTable(QPainter &p, const QRectF &r) {
  QPainterPath frame;
  frame.addRoundedRect(r, 2, 2);
  drawSoftShadow(p, frame, QPointF(2, 2.5), 110);
  p.setPen(QPen(QColor(10, 40, 100), 1));
  p.setBrush(QColor(236, 240, 246));
  p.drawPath(frame);
  // caption bar with three small buttons
  const QRectF bar(r.left() + 1, r.top() + 1, r.width() - 2, 9);
  p.setPen(Qt::NoPen);
  p.setBrush(vertical(bar.top(), bar.bottom(), QColor(90, 160, 240), QColor(30, 90, 190)));
  p.drawRect(bar);
  for (int i = 0; i < 3; ++i) {
    p.setBrush(i == 2 ? QColor(235, 90, 70) : QColor(220, 232, 250));
    p.drawRoundedRect(QRectF(bar.right() - 7.5 - i * 6.5, bar.top() + 2, 5, 5), 1, 1);
  }
  p.setBrush(QColor(255, 255, 255, 200));
  p.drawRect(QRectF(bar.left() + 3, bar.top() + 3.5, 22, 2));
  // the table: a heading row and striped rows in three columns
  const QRectF table(r.left() + 4, bar.bottom() + 4, r.width() - 8, r.bottom() - bar.bottom() - 8);
  constexpr int kRows = 6;
  const qreal rowHeight = table.height() / kRows;
  const qreal columns[] = {table.left(), table.left() + table.width() * 0.45,
                           table.left() + table.width() * 0.72, table.right()};
  for (int row = 0; row < kRows; ++row) {
    const QRectF line(table.left(), table.top() + row * rowHeight, table.width(), rowHeight);
    p.setBrush(row == 0 ? QColor(60, 120, 200) : (row % 2 ? Qt::white : QColor(228, 238, 250)));
    p.drawRect(line);
    for (int c = 0; c < 3; ++c) {
      const qreal width = (columns[c + 1] - columns[c]) * (c == 0 ? 0.75 : 0.6);
      const QColor ink = row == 0 ? QColor(255, 255, 255, 220)
                         : c == 0 ? QColor(90, 100, 120)
                                  : (row % 3 == 0 ? QColor(200, 60, 50) : QColor(30, 140, 60));
      p.setBrush(ink);
      const qreal left = c == 0 ? columns[c] + 2 : columns[c + 1] - width - 2;
      p.drawRect(QRectF(left, line.center().y() - 0.9, width, 1.8));
    }
  }
  p.setPen(QPen(QColor(150, 170, 200), 0.7));
  p.setBrush(Qt::NoBrush);
  for (int c = 1; c < 3; ++c)
    p.drawLine(QPointF(columns[c], table.top()), QPointF(columns[c], table.bottom()));
  p.drawRect(table);
}

void drawPointer(QPainter &p, const QPointF &tip, qreal scale) {
  // the classic arrow pointer, in units of one pixel of a 12 x 19 cursor
  QPainterPath arrow;
  arrow.moveTo(0, 0);
  arrow.lineTo(0, 16);
  arrow.lineTo(4, 12.2);
  arrow.lineTo(6.8, 18.5);
  arrow.lineTo(9.4, 17.3);
  arrow.lineTo(6.7, 11.2);
  arrow.lineTo(11.8, 11.2);
  arrow.closeSubpath();
  QTransform t;
  t.translate(tip.x(), tip.y());
  t.scale(scale, scale);
  const QPainterPath shape = t.map(arrow);
  drawSoftShadow(p, shape, QPointF(2.5, 3), 100);
  p.setPen(QPen(QColor(10, 20, 40), 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(vertical(tip.y(), tip.y() + 18 * scale, Qt::white, QColor(205, 215, 230)));
  p.drawPath(shape);
}

QImage banksBanner() {
  QImage image = bannerField();
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  const QColor gold(255, 214, 90);
  bannerLine(p, 12, 20, QStringLiteral("ВСЁ О"), font(16, true));
  bannerLine(p, 31, 20, QStringLiteral("БАНКАХ"), font(16, true));
  p.setPen(QPen(QColor(255, 255, 255, 110), 1));
  p.drawLine(QPointF(18, 56.5), QPointF(82, 56.5));
  const QFont item = font(11, true);
  bannerLine(p, 64, 14, QStringLiteral("вклады"), item, gold);
  bannerLine(p, 78, 14, QStringLiteral("кредиты"), item, gold);
  bannerLine(p, 92, 14, QStringLiteral("курсы валют"), item, gold);
  bannerLine(p, 106, 14, QStringLiteral("рейтинги"), item, gold);
  bannerLine(p, 128, 14, QStringLiteral("каждый день"), font(10, false), QColor(200, 228, 255));
  drawWindowWithTable(p, QRectF(8, 168, 84, 66));
  drawPointer(p, QPointF(54, 206), 2.6);
  bannerLine(p, 262, 14, QStringLiteral("сайт наших"), font(11, true));
  bannerLine(p, 276, 14, QStringLiteral("партнёров"), font(11, true));
  return image;
}

// --- Writers ---------------------------------------------------------------------------

void putLe16(QByteArray &out, int value) {
  out.append(char(value & 0xFF));
  out.append(char((value >> 8) & 0xFF));
}

void putLe32(QByteArray &out, qint64 value) {
  for (int shift = 0; shift < 32; shift += 8)
    out.append(char((value >> shift) & 0xFF));
}

// A 24-bit uncompressed bottom-up BMP with a 40-byte information header at 96 dpi.
QByteArray bmpBytes(const QImage &image) {
  const int width = image.width();
  const int height = image.height();
  const int stride = (width * 3 + 3) & ~3;
  constexpr int kHeaders = 14 + 40;
  constexpr int kPixelsPerMetre = 3780; // 96 dpi
  QByteArray out;
  out.reserve(kHeaders + stride * height);
  out.append("BM", 2);
  putLe32(out, kHeaders + qint64(stride) * height);
  putLe32(out, 0);
  putLe32(out, kHeaders);
  putLe32(out, 40);
  putLe32(out, width);
  putLe32(out, height);
  putLe16(out, 1);  // planes
  putLe16(out, 24); // bits per pixel
  putLe32(out, 0);  // BI_RGB: no compression
  putLe32(out, qint64(stride) * height);
  putLe32(out, kPixelsPerMetre);
  putLe32(out, kPixelsPerMetre);
  putLe32(out, 0);
  putLe32(out, 0);
  for (int y = height - 1; y >= 0; --y) {
    const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
    for (int x = 0; x < width; ++x) {
      out.append(char(qBlue(line[x])));
      out.append(char(qGreen(line[x])));
      out.append(char(qRed(line[x])));
    }
    out.append(stride - width * 3, '\0');
  }
  return out;
}

// Baseline sequential JFIF, full-resolution colour so the small lettering stays clean.
QByteArray jpegBytes(const QImage &source) {
  const QImage image = source.convertToFormat(QImage::Format_RGB888);
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr errors{};
  cinfo.err = jpeg_std_error(&errors); // our own pictures: a failure here is a bug
  jpeg_create_compress(&cinfo);
  unsigned char *buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(image.width());
  cinfo.image_height = static_cast<JDIMENSION>(image.height());
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 94, TRUE);
  for (int c = 0; c < cinfo.num_components; ++c) {
    cinfo.comp_info[c].h_samp_factor = 1;
    cinfo.comp_info[c].v_samp_factor = 1;
  }
  cinfo.write_JFIF_header = TRUE;
  cinfo.density_unit = 1; // dots per inch
  cinfo.X_density = 96;
  cinfo.Y_density = 96;
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(image.constScanLine(int(cinfo.next_scanline)));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  QByteArray out(reinterpret_cast<const char *>(buffer), qsizetype(size));
  std::free(buffer);
  return out;
}

bool writeFile(const QString &path, const QByteArray &bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
    std::fprintf(stderr, "velanta-make-pictures: cannot write %s: %s\n", qPrintable(path),
                 qPrintable(file.errorString()));
    return false;
  }
  return true;
}

} // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: velanta-make-pictures FOLDER\n");
    return 2;
  }
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  if (!folder.exists() && !QDir().mkpath(folder.path())) {
    std::fprintf(stderr, "velanta-make-pictures: cannot create %s\n", argv[1]);
    return 2;
  }
  chooseFamily();

  struct Picture {
    const char *name;
    std::function<QByteArray()> bytes;
  };
  const std::vector<Picture> pictures = {
      {"header.bmp", [] { return bmpBytes(headerStrip()); }},
      {"word.bmp", [] { return bmpBytes(glyph(121, QStringLiteral("править в Word"), wordIcon)); }},
      {"notepad.bmp",
       [] { return bmpBytes(glyph(131, QStringLiteral("править в Блокнот"), notepadIcon)); }},
      {"print.bmp", [] { return bmpBytes(glyph(67, QStringLiteral("Печать"), printerIcon)); }},
      {"exit.bmp", [] { return bmpBytes(glyph(81, QStringLiteral("Выход"), exitIcon)); }},
      {"update.bmp", [] { return bmpBytes(glyph(86, QStringLiteral("Обновление"), updateIcon)); }},
      {"kinds_strip.bmp", [] { return bmpBytes(kindsStrip()); }},
      {"kind_icon.bmp", [] { return bmpBytes(kindIcon()); }},
      {"doc_icon.bmp", [] { return bmpBytes(docIcon()); }},
      {"banner_site.jpg", [] { return jpegBytes(siteBanner()); }},
      {"banner_banks.jpg", [] { return jpegBytes(banksBanner()); }},
  };
  for (const Picture &picture : pictures)
    if (!writeFile(folder.filePath(QString::fromLatin1(picture.name)), picture.bytes())) return 1;
  return 0;
}
