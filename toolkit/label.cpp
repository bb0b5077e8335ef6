#include "toolkit/label.h"

#include <QEvent>
#include <QPainter>

namespace toolkit {

TLabel::TLabel(QWidget *parent) : TControl(parent) {}

void TLabel::setCaption(const QString &caption) {
  caption_ = caption;
  fitToText();
  update();
}

void TLabel::setAutoSize(bool autoSize) {
  autoSize_ = autoSize;
  fitToText();
}

void TLabel::setTransparent(bool transparent) {
  transparent_ = transparent;
  update();
}

void TLabel::loaded() {
  TControl::loaded();
  fitToText();
}

void TLabel::changeEvent(QEvent *event) {
  if (event->type() == QEvent::FontChange)
    fitToText();
  TControl::changeEvent(event);
}

void TLabel::fitToText() {
  if (!autoSize_)
    return;
  const QFontMetrics metrics(font());
  resize(metrics.horizontalAdvance(caption_), metrics.height());
}

void TLabel::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  if (!transparent_)
    painter.fillRect(rect(), backgroundColor());
  painter.setPen(palette().color(QPalette::WindowText));
  // The caption is shown as it stands: "&" is not an accelerator prefix.
  painter.drawText(rect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, caption_);
}

} // namespace toolkit
