#include "toolkit/form.h"

#include "toolkit/application.h"
#include "toolkit/form_reader.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

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

void TForm::scaleBy(int numerator, int denominator) {
  setClientWidth(mulDiv(clientWidth(), numerator, denominator));
  setClientHeight(mulDiv(clientHeight(), numerator, denominator));
  for (QObject *child : client_->children())
    if (auto *control = qobject_cast<TControl *>(child))
      control->scaleBy(numerator, denominator);
}

std::pair<int, int> TForm::scaleToScreen(int screenDpi) {
  if (screenDpi <= 0 || screenDpi == kDesignDpi)
    return {1, 1};
  TFont *windowFont = fontObject();
  windowFont->setHeight(-mulDiv(windowFont->font().pixelSize(), screenDpi, kDesignDpi));
  const int textHeight = QFontMetrics(windowFont->font()).height();
  if (textHeight != kDesignTextHeight)
    scaleBy(textHeight, kDesignTextHeight);
  return {textHeight, kDesignTextHeight};
}

void TForm::createFromDescription(const QString &path) {
  loadForm(this, path);
  if (const QScreen *screen = QGuiApplication::primaryScreen())
    scaleToScreen(qRound(screen->logicalDotsPerInchY()));
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
  // The first tab stop has the focus when the window first becomes active.
  if (!focusWidget()) {
    const std::vector<QWidget *> stops = tabStops(this);
    if (!stops.empty())
      stops.front()->setFocus(Qt::ActiveWindowFocusReason);
  }
}

bool TForm::focusNextPrevChild(bool next) {
  const std::vector<QWidget *> stops = tabStops(this);
  if (stops.empty())
    return false;
  // The stop that holds the focus: the focused widget itself or a control it belongs to.
  auto current = stops.end();
  for (QWidget *w = focusWidget(); w && current == stops.end(); w = w->parentWidget())
    current = std::find(stops.begin(), stops.end(), w);
  const int count = int(stops.size());
  int index = current == stops.end() ? (next ? -1 : count) : int(current - stops.begin());
  for (int step = 0; step < count; ++step) {
    index = (index + (next ? 1 : -1) + count) % count;
    QWidget *candidate = stops[size_t(index)];
    if (candidate->isVisible() && candidate->isEnabled()) {
      candidate->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
      return true;
    }
  }
  return false;
}

} // namespace toolkit
