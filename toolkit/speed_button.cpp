#include "toolkit/speed_button.h"

#include "toolkit/exceptions.h"
#include "toolkit/panel.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>

namespace toolkit {

QImage transparentGlyph(const QImage &image) {
  if (image.isNull())
    return image;
  QImage glyph = image.convertToFormat(QImage::Format_ARGB32);
  const QRgb key = glyph.pixel(0, glyph.height() - 1) | 0xFF000000u;
  for (int y = 0; y < glyph.height(); ++y) {
    auto *line = reinterpret_cast<QRgb *>(glyph.scanLine(y));
    for (int x = 0; x < glyph.width(); ++x)
      if ((line[x] | 0xFF000000u) == key)
        line[x] = 0;
  }
  return glyph;
}

TSpeedButton::TSpeedButton(QWidget *parent) : TControl(parent) {
  setAttribute(Qt::WA_Hover);
}

void TSpeedButton::setGlyphPath(const QString &path) {
  QImage image(path);
  if (image.isNull())
    throw EFormError(QStringLiteral("Картинка %1 не найдена").arg(path));
  glyphPath_ = path;
  glyph_ = transparentGlyph(image);
  update();
}

void TSpeedButton::setFlat(bool flat) {
  flat_ = flat;
  update();
}

void TSpeedButton::enterEvent(QEnterEvent *event) {
  hot_ = true;
  update();
  TControl::enterEvent(event);
}

void TSpeedButton::leaveEvent(QEvent *event) {
  hot_ = false;
  update();
  TControl::leaveEvent(event);
}

void TSpeedButton::mousePressEvent(QMouseEvent *event) {
  down_ = event->button() == Qt::LeftButton;
  update();
  TControl::mousePressEvent(event);
}

void TSpeedButton::mouseReleaseEvent(QMouseEvent *event) {
  down_ = false;
  update();
  TControl::mouseReleaseEvent(event);
}

void TSpeedButton::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  painter.fillRect(rect(), backgroundColor());
  QRect face = rect();
  if (flat_) {
    if (down_)
      drawBevel(painter, rect(), bvLowered, 1);
    else if (hot_)
      drawBevel(painter, rect(), bvRaised, 1);
    face = rect().adjusted(1, 1, -1, -1);
  } else {
    QStyleOptionButton option;
    option.initFrom(this);
    option.state |= down_ ? QStyle::State_Sunken : QStyle::State_Raised;
    style()->drawPrimitive(QStyle::PE_PanelButtonCommand, &option, &painter, this);
    face = rect().adjusted(2, 2, -2, -2);
  }
  if (glyph_.isNull())
    return;
  QPoint origin(face.left() + (face.width() - glyph_.width()) / 2,
                face.top() + (face.height() - glyph_.height()) / 2);
  if (down_)
    origin += QPoint(1, 1);
  painter.setClipRect(face);
  painter.drawImage(origin, glyph_);
}

} // namespace toolkit
