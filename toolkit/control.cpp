#include "toolkit/control.h"

#include "toolkit/application.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPalette>

#include <algorithm>
#include <cmath>
#include <vector>

namespace toolkit {

QColor toQColor(TColor color) {
  if ((color & clSystemColor) == 0)
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
  const QPalette palette = QApplication::palette();
  switch (color) {
  case clWindow:
    return palette.color(QPalette::Base);
  case clWindowText:
    return palette.color(QPalette::WindowText);
  case clBtnHighlight:
    return palette.color(QPalette::Light);
  case clBtnShadow:
    return palette.color(QPalette::Dark);
  default:
    return palette.color(QPalette::Button);
  }
}

// ---- TFont ----

TFont::TFont(QWidget *owner, const QFont &initial, TColor color)
    : QObject(owner), owner_(owner), font_(initial), color_(color) {}

void TFont::setName(const QString &name) {
  font_.setFamily(name);
  apply();
}

void TFont::setHeight(int height) {
  font_.setPixelSize(std::max(1, std::abs(height)));
  apply();
}

int TFont::size() const {
  const double dpi = owner_->logicalDpiY() > 0 ? owner_->logicalDpiY() : 96;
  return qRound(font_.pixelSize() * 72.0 / dpi);
}

void TFont::setSize(int points) {
  const double dpi = owner_->logicalDpiY() > 0 ? owner_->logicalDpiY() : 96;
  setHeight(-qRound(points * dpi / 72.0));
}

void TFont::setColor(TColor color) {
  color_ = color;
  apply();
}

QStringList TFont::style() const {
  QStringList style;
  if (font_.bold()) style << QStringLiteral("fsBold");
  if (font_.italic()) style << QStringLiteral("fsItalic");
  if (font_.underline()) style << QStringLiteral("fsUnderline");
  if (font_.strikeOut()) style << QStringLiteral("fsStrikeOut");
  return style;
}

void TFont::setStyle(const QStringList &style) {
  font_.setBold(style.contains(QStringLiteral("fsBold")));
  font_.setItalic(style.contains(QStringLiteral("fsItalic")));
  font_.setUnderline(style.contains(QStringLiteral("fsUnderline")));
  font_.setStrikeOut(style.contains(QStringLiteral("fsStrikeOut")));
  apply();
}

void TFont::apply() {
  owner_->setFont(font_);
  QPalette palette = owner_->palette();
  const QColor text = toQColor(color_);
  palette.setColor(QPalette::WindowText, text);
  palette.setColor(QPalette::Text, text);
  palette.setColor(QPalette::ButtonText, text);
  owner_->setPalette(palette);
}

// ---- TControl ----

TControl::TControl(QWidget *parent) : QWidget(parent) {
  setFocusPolicy(Qt::NoFocus);
}

void TControl::setAlign(int align) {
  align_ = align;
  if (parentWidget())
    if (auto *owner = qobject_cast<TControl *>(parentWidget()))
      arrangeAlignedChildren(owner, owner->alignRect());
}

void TControl::setCursorShape(int shape) {
  cursorShape_ = shape;
  if (shape == crDefault)
    unsetCursor();
  else
    setCursor(QCursor(static_cast<Qt::CursorShape>(shape)));
}

void TControl::setColor(TColor color) {
  color_ = color;
  parentColor_ = false;
  applyColor();
}

void TControl::setParentColor(bool parentColor) {
  parentColor_ = parentColor;
  applyColor();
}

QColor TControl::backgroundColor() const {
  if (parentColor_)
    if (auto *owner = qobject_cast<const TControl *>(parentWidget()))
      return owner->backgroundColor();
  return toQColor(color_);
}

void TControl::applyColor() {
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, backgroundColor());
  setPalette(palette);
  setAutoFillBackground(isWindowed());
}

TFont *TControl::fontObject() {
  if (!font_) {
    const QColor text = palette().color(QPalette::WindowText);
    font_ = new TFont(this, QWidget::font(),
                      text == toQColor(clWindowText)
                          ? clWindowText
                          : int(text.red() | text.green() << 8 | text.blue() << 16));
  }
  return font_;
}

void TControl::setParentFont(bool parentFont) {
  if (parentFont && font_) {
    delete font_;
    setFont(QFont());
    setAttribute(Qt::WA_SetFont, false);
  }
}

void TControl::setTabStop(bool stop) {
  tabStop_ = stop;
  setFocusPolicy(stop ? Qt::StrongFocus : Qt::NoFocus);
}

void TControl::loaded() {
  applyColor();
  arrangeAlignedChildren(childContainer(), alignRect());
}

bool TControl::event(QEvent *event) {
  try {
    return QWidget::event(event);
  } catch (...) {
    if (TApplication *application = Application())
      application->handleException(std::current_exception());
    else
      throw;
    return true;
  }
}

void TControl::resizeEvent(QResizeEvent *event) {
  QWidget::resizeEvent(event);
  arrangeAlignedChildren(childContainer(), alignRect());
}

void TControl::mousePressEvent(QMouseEvent *event) {
  pressedInside_ = event->button() == Qt::LeftButton;
  QWidget::mousePressEvent(event);
}

void TControl::mouseReleaseEvent(QMouseEvent *event) {
  const bool click = pressedInside_ && event->button() == Qt::LeftButton &&
                     rect().contains(event->position().toPoint());
  pressedInside_ = false;
  if (click) emit OnClick(this);
  QWidget::mouseReleaseEvent(event);
}

int mulDiv(int value, int numerator, int denominator) {
  return int(std::lround(double(value) * numerator / denominator));
}

void TControl::scaleBy(int numerator, int denominator) {
  const QRect g = geometry();
  setGeometry(mulDiv(g.x(), numerator, denominator), mulDiv(g.y(), numerator, denominator),
              mulDiv(g.width(), numerator, denominator),
              mulDiv(g.height(), numerator, denominator));
  if (font_) font_->setHeight(-mulDiv(font_->font().pixelSize(), numerator, denominator));
  for (QObject *child : childContainer()->children())
    if (auto *control = qobject_cast<TControl *>(child)) control->scaleBy(numerator, denominator);
}

// ---- layout ----

void arrangeAlignedChildren(QWidget *container, const QRect &area) {
  std::vector<TControl *> children;
  for (QObject *child : container->children())
    if (auto *control = qobject_cast<TControl *>(child); control && control->align() != alNone)
      children.push_back(control);
  if (children.empty()) return;
  QRect rest = area;
  const auto place = [&](int align, auto before) {
    std::vector<TControl *> group;
    std::copy_if(children.begin(), children.end(), std::back_inserter(group),
                 [align](TControl *c) { return c->align() == align; });
    std::stable_sort(group.begin(), group.end(), before);
    for (TControl *c : group) {
      switch (align) {
      case alTop:
        c->setGeometry(rest.left(), rest.top(), rest.width(), c->height());
        rest.setTop(rest.top() + c->height());
        break;
      case alBottom:
        c->setGeometry(rest.left(), rest.bottom() + 1 - c->height(), rest.width(), c->height());
        rest.setBottom(rest.bottom() - c->height());
        break;
      case alLeft:
        c->setGeometry(rest.left(), rest.top(), c->width(), rest.height());
        rest.setLeft(rest.left() + c->width());
        break;
      case alRight:
        c->setGeometry(rest.right() + 1 - c->width(), rest.top(), c->width(), rest.height());
        rest.setRight(rest.right() - c->width());
        break;
      default:
        c->setGeometry(rest);
        break;
      }
    }
  };
  place(alTop, [](TControl *a, TControl *b) { return a->y() < b->y(); });
  place(alBottom, [](TControl *a, TControl *b) { return a->y() > b->y(); });
  place(alLeft, [](TControl *a, TControl *b) { return a->x() < b->x(); });
  place(alRight, [](TControl *a, TControl *b) { return a->x() > b->x(); });
  place(alClient, [](TControl *, TControl *) { return false; });
}

namespace {
void collectInTabOrder(QWidget *container, std::vector<QWidget *> &out) {
  std::vector<TControl *> children;
  for (QObject *child : container->children())
    if (auto *control = qobject_cast<TControl *>(child)) children.push_back(control);
  std::stable_sort(children.begin(), children.end(),
                   [](TControl *a, TControl *b) { return a->tabOrder() < b->tabOrder(); });
  for (TControl *control : children) {
    if (control->focusPolicy() & Qt::TabFocus) out.push_back(control);
    collectInTabOrder(control->childContainer(), out);
  }
}
} // namespace

std::vector<QWidget *> tabStops(QWidget *window) {
  std::vector<QWidget *> chain;
  auto *root = qobject_cast<TControl *>(window);
  collectInTabOrder(root ? root->childContainer() : window, chain);
  return chain;
}

void applyTabOrder(QWidget *window) {
  const std::vector<QWidget *> chain = tabStops(window);
  for (size_t i = 1; i < chain.size(); ++i)
    QWidget::setTabOrder(chain[i - 1], chain[i]);
}

} // namespace toolkit
