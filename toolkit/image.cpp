#include "toolkit/image.h"

#include "toolkit/exceptions.h"
#include "toolkit/jpeg_image.h"
#include "toolkit/speed_button.h"

#include <QFile>
#include <QPainter>

namespace toolkit {

QImage readPicture(const QString &path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    throw EFormError(QStringLiteral("Картинка %1 не найдена").arg(path));
  const QByteArray bytes = file.readAll();
  if (bytes.startsWith("\xFF\xD8")) {
    JpegImage jpeg = decodeJpeg(bytes);
    if (!jpeg.ok())
      throw EFormError(QStringLiteral("Картинка %1 испорчена: %2").arg(path, jpeg.error));
    return jpeg.image;
  }
  QImage image = QImage::fromData(bytes);
  if (image.isNull()) throw EFormError(QStringLiteral("Картинка %1 не читается").arg(path));
  return image;
}

TImage::TImage(QWidget *parent) : TControl(parent) {}

void TImage::setPicturePath(const QString &path) {
  picture_ = readPicture(path);
  picturePath_ = path;
  shown_ = transparent_ ? transparentGlyph(picture_) : picture_;
  update();
}

void TImage::setTransparent(bool transparent) {
  transparent_ = transparent;
  shown_ = transparent_ ? transparentGlyph(picture_) : picture_;
  update();
}

void TImage::drawAt(QPainter &painter, QPoint origin) const {
  if (shown_.isNull()) return;
  painter.save();
  painter.setClipRect(QRect(origin, size()), Qt::IntersectClip);
  painter.drawImage(origin, shown_);
  painter.restore();
}

void TImage::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  drawAt(painter, QPoint(0, 0));
}

} // namespace toolkit
