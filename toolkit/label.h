// A label: one line of text in the parent's colour, sized to its text.
#pragma once

#include "toolkit/control.h"

namespace toolkit {

class TLabel : public TControl {
  Q_OBJECT
  Q_PROPERTY(QString Caption READ caption WRITE setCaption)
  Q_PROPERTY(bool AutoSize READ autoSize WRITE setAutoSize)
  Q_PROPERTY(bool Transparent READ transparent WRITE setTransparent)

public:
  explicit TLabel(QWidget *parent = nullptr);
  const QString &caption() const { return caption_; }
  void setCaption(const QString &caption);
  bool autoSize() const { return autoSize_; }
  void setAutoSize(bool autoSize);
  bool transparent() const { return transparent_; }
  void setTransparent(bool transparent);
  bool isWindowed() const override { return false; }
  void loaded() override;

protected:
  void paintEvent(QPaintEvent *event) override;
  void changeEvent(QEvent *event) override;

private:
  void fitToText();
  QString caption_;
  bool autoSize_ = true;
  bool transparent_ = false;
};

} // namespace toolkit
