// A top-level window built from a form description.
#pragma once

#include "toolkit/control.h"

#include <utility>

namespace toolkit {

enum TBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog };
enum TPosition { poDesigned, poScreenCenter };

class TForm : public TControl {
  Q_OBJECT
  Q_PROPERTY(QString Caption READ windowTitle WRITE setWindowTitle)
  Q_PROPERTY(int ClientWidth READ clientWidth WRITE setClientWidth)
  Q_PROPERTY(int ClientHeight READ clientHeight WRITE setClientHeight)
  Q_PROPERTY(int BorderWidth READ borderWidth WRITE setBorderWidth)
  Q_PROPERTY(int BorderStyle READ borderStyle WRITE setBorderStyle)
  Q_PROPERTY(int Position READ position WRITE setPosition)

public:
  explicit TForm(QWidget *parent = nullptr);

  int clientWidth() const { return client_->width(); }
  void setClientWidth(int width);
  int clientHeight() const { return client_->height(); }
  void setClientHeight(int height);
  int borderWidth() const { return borderWidth_; }
  void setBorderWidth(int width);
  int borderStyle() const { return borderStyle_; }
  void setBorderStyle(int style);
  int position() const { return position_; }
  void setPosition(int position) { position_ = position; }

  QWidget *childContainer() override { return client_; }
  void scaleBy(int numerator, int denominator) override;
  // Fits a window designed at 96 pixels per inch to a screen of `screenDpi`: the window's
  // font is scaled by screenDpi/96, then every position, size and font by the ratio of
  // that font's text height to the design's (13 pixels for the window's font). Returns the
  // ratio as numerator/denominator (equal when nothing changed).
  std::pair<int, int> scaleToScreen(int screenDpi);
  QRect alignRect() const override { return client_->rect(); }
  QWidget *clientArea() const { return client_; }

signals:
  void OnCreate(QObject *Sender);

protected:
  // Builds the window from its description, then runs OnCreate inside its own catch
  // point: a failure there is shown and the window still opens.
  void createFromDescription(const QString &path);
  void showEvent(QShowEvent *event) override;
  // Tab and Shift+Tab follow the controls' tab order, whatever widgets a control is made of.
  bool focusNextPrevChild(bool next) override;

private:
  void updateFrame();
  static constexpr int kDesignDpi = 96;
  static constexpr int kDesignTextHeight = 13;
  QWidget *client_;
  int borderWidth_ = 0;
  int borderStyle_ = bsSizeable;
  int position_ = poDesigned;
  bool placed_ = false;
};

} // namespace toolkit
