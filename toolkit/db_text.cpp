#include "toolkit/db_text.h"

#include <QPainter>

namespace toolkit {

TDBText::TDBText(QWidget *parent) : TControl(parent) {}

void TDBText::setDataField(const QString &field) {
  dataField_ = field;
  update();
}

void TDBText::setTransparent(bool transparent) {
  transparent_ = transparent;
  update();
}

TField *TDBText::field() const {
  const TDataSet *set = dataSet();
  return set && set->active() ? set->findField(dataField_) : nullptr;
}

void TDBText::activeChanged() {
  if (active()) controlField(dataSet(), dataField_, this);
  update();
}

QString TDBText::text() const {
  const TField *f = field();
  const TDataSet *set = dataSet();
  if (!f || set->isEmpty()) return {};
  return f->displayText();
}

void TDBText::drawText(QPainter &painter, QPoint origin, const QString &text,
                       const QColor &background) const {
  painter.save();
  const QRect area(origin, size());
  painter.setClipRect(area, Qt::IntersectClip);
  if (!transparent_) painter.fillRect(area, background);
  painter.setFont(font());
  painter.setPen(palette().color(QPalette::WindowText));
  // One line: line breaks in the value are not followed; no mnemonic, no ellipsis.
  QString line = text;
  line.replace(u'\r', u' ').replace(u'\n', u' ');
  painter.drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, line);
  painter.restore();
}

void TDBText::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  drawText(painter, QPoint(0, 0), text(), backgroundColor());
}

} // namespace toolkit
