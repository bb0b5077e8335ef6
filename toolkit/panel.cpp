#include "toolkit/panel.h"

#include <QPainter>

namespace toolkit {

TPanel::TPanel(QWidget *parent) : TControl(parent) {}

void TPanel::setCaption(const QString &caption) {
  caption_ = caption;
  update();
}

void TPanel::setBevelOuter(int cut) {
  bevelOuter_ = cut;
  update();
}

void TPanel::setBevelInner(int cut) {
  bevelInner_ = cut;
  update();
}

void TPanel::setBevelWidth(int width) {
  bevelWidth_ = width;
  update();
}

int TPanel::edgeWidth() const {
  return (bevelOuter_ != bvNone ? bevelWidth_ : 0) + (bevelInner_ != bvNone ? bevelWidth_ : 0);
}

QRect TPanel::alignRect() const {
  const int edge = edgeWidth();
  return rect().adjusted(edge, edge, -edge, -edge);
}

QRect drawBevel(QPainter &painter, QRect rect, int cut, int width) {
  if (cut == bvNone)
    return rect;
  const QColor light = toQColor(clBtnHighlight);
  const QColor dark = toQColor(clBtnShadow);
  const QColor topLeft = cut == bvRaised ? light : dark;
  const QColor bottomRight = cut == bvRaised ? dark : light;
  for (int i = 0; i < width; ++i) {
    painter.setPen(topLeft);
    painter.drawLine(rect.topLeft(), rect.topRight());
    painter.drawLine(rect.topLeft(), rect.bottomLeft());
    painter.setPen(bottomRight);
    painter.drawLine(rect.bottomLeft(), rect.bottomRight());
    painter.drawLine(rect.topRight(), rect.bottomRight());
    rect.adjust(1, 1, -1, -1);
  }
  return rect;
}

void TPanel::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  QRect inner = drawBevel(painter, rect(), bevelOuter_, bevelWidth_);
  inner = drawBevel(painter, inner, bevelInner_, bevelWidth_);
  if (!caption_.isEmpty()) {
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(inner, Qt::AlignCenter, caption_);
  }
}

} // namespace toolkit
