// A picture: drawn at its natural size from the control's top-left corner and cut at the
// control's edges. With Transparent, the colour of the picture's bottom-left pixel is not
// drawn. A press and release inside it is a click (OnClick); it never takes the focus.
#pragma once

#include "toolkit/control.h"

#include <QImage>

namespace toolkit {

class TImage : public TControl {
  Q_OBJECT
  // A file or resource path: a BMP (or any format Qt reads) or a JPEG, which is decoded
  // with libjpeg.
  Q_PROPERTY(QString Picture READ picturePath WRITE setPicturePath)
  Q_PROPERTY(bool Transparent READ transparent WRITE setTransparent)

public:
  explicit TImage(QWidget *parent = nullptr);

  const QString &picturePath() const { return picturePath_; }
  // Throws EFormError when the picture cannot be read or decoded.
  void setPicturePath(const QString &path);
  // The picture as stored (without transparency).
  const QImage &picture() const { return picture_; }
  bool transparent() const { return transparent_; }
  void setTransparent(bool transparent);
  bool isWindowed() const override { return false; }

  // Draws the picture as the control shows it, with the control's top-left corner at
  // `origin` (lists draw their row template this way, once per row).
  void drawAt(QPainter &painter, QPoint origin) const;

protected:
  void paintEvent(QPaintEvent *event) override;

private:
  QString picturePath_;
  QImage picture_;
  QImage shown_; // picture_, or with its transparent colour made transparent
  bool transparent_ = false;
};

// Reads a picture file: JPEG data through libjpeg, anything else through Qt's readers.
// Throws EFormError naming the path when it cannot.
QImage readPicture(const QString &path);

} // namespace toolkit
