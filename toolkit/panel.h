// A panel: a raised one-pixel bevel around its children, with an optional centred caption.
#pragma once

#include "toolkit/control.h"

namespace toolkit {

enum TBevelCut { bvNone, bvLowered, bvRaised };

class TPanel : public TControl {
  Q_OBJECT
  Q_PROPERTY(QString Caption READ caption WRITE setCaption)
  Q_PROPERTY(int BevelOuter READ bevelOuter WRITE setBevelOuter)
  Q_PROPERTY(int BevelInner READ bevelInner WRITE setBevelInner)
  Q_PROPERTY(int BevelWidth READ bevelWidth WRITE setBevelWidth)

public:
  explicit TPanel(QWidget *parent = nullptr);
  const QString &caption() const { return caption_; }
  void setCaption(const QString &caption);
  int bevelOuter() const { return bevelOuter_; }
  void setBevelOuter(int cut);
  int bevelInner() const { return bevelInner_; }
  void setBevelInner(int cut);
  int bevelWidth() const { return bevelWidth_; }
  void setBevelWidth(int width);
  QRect alignRect() const override;

protected:
  void paintEvent(QPaintEvent *event) override;

private:
  int edgeWidth() const;
  QString caption_;
  int bevelOuter_ = bvRaised;
  int bevelInner_ = bvNone;
  int bevelWidth_ = 1;
};

// Draws a one-pixel-per-step bevel of `width` inside `rect`; returns the rectangle inside it.
QRect drawBevel(class QPainter &painter, QRect rect, int cut, int width);

} // namespace toolkit
