#include "toolkit/form.h"

#include "toolkit/application.h"
#include "toolkit/form_reader.h"

#include <QScreen>

namespace toolkit {

TForm::TForm(QWidget *parent) : TControl(parent), client_(new QWidget(this)) {
  client_->setObjectName(QStringLiteral("client"));
  setAttribute(Qt::WA_DeleteOnClose, false);
  applyColor();
}

void TForm::setClientWidth(int width) {
  client_->resize(width, client_->height());
  updateFrame();
}

void TForm::setClientHeight(int height) {
  client_->resize(client_->width(), height);
  updateFrame();
}

void TForm::setBorderWidth(int width) {
  borderWidth_ = width;
  updateFrame();
}

void TForm::setBorderStyle(int style) {
  borderStyle_ = style;
  Qt::WindowFlags flags = Qt::Window;
  if (style == bsDialog)
    flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
  setWindowFlags(flags);
  updateFrame();
}

void TForm::updateFrame() {
  client_->move(borderWidth_, borderWidth_);
  const QSize outer = client_->size() + QSize(2 * borderWidth_, 2 * borderWidth_);
  if (borderStyle_ == bsDialog || borderStyle_ == bsSingle)
    setFixedSize(outer);
  else
    resize(outer);
}

void TForm::createFromDescription(const QString &path) {
  loadForm(this, path);
  try {
    emit OnCreate(this);
  } catch (...) {
    Application()->handleException(std::current_exception());
  }
}

void TForm::showEvent(QShowEvent *event) {
  if (!placed_ && position_ == poScreenCenter) {
    if (const QScreen *screen = this->screen()) {
      QRect frame = frameGeometry();
      frame.moveCenter(screen->availableGeometry().center());
      move(frame.topLeft());
    }
  }
  placed_ = true;
  TControl::showEvent(event);
}

} // namespace toolkit
