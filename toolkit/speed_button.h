// A picture-only button: its glyph is drawn centred on the face; the colour of the glyph's
// bottom-left pixel is transparent. Flat buttons show a raised frame only under the
// pointer; a pressed button is sunken and its glyph moves one pixel right and down.
#pragma once

#include "toolkit/control.h"

#include <QImage>

namespace toolkit {

class TSpeedButton : public TControl {
  Q_OBJECT
  Q_PROPERTY(QString Glyph READ glyphPath WRITE setGlyphPath)
  Q_PROPERTY(bool Flat READ flat WRITE setFlat)

public:
  explicit TSpeedButton(QWidget *parent = nullptr);
  const QString &glyphPath() const { return glyphPath_; }
  void setGlyphPath(const QString &path);
  const QImage &glyph() const { return glyph_; }
  bool flat() const { return flat_; }
  void setFlat(bool flat);
  bool isWindowed() const override { return false; }
  // Simulates the user's click: the OnClick event.
  void click() { emit OnClick(this); }

protected:
  void paintEvent(QPaintEvent *event) override;
  void enterEvent(QEnterEvent *event) override;
  void leaveEvent(QEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;

private:
  QString glyphPath_;
  QImage glyph_;
  bool flat_ = false;
  bool hot_ = false;
  bool down_ = false;
};

// A glyph with its bottom-left pixel's colour made transparent.
QImage transparentGlyph(const QImage &image);

} // namespace toolkit
