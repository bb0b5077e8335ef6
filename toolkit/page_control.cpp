#include "toolkit/page_control.h"

#include "toolkit/panel.h"

#include <QKeyEvent>
#include <QPainter>

namespace toolkit {

namespace {
constexpr int kTabPadding = 6;   // each side of a tab's caption
constexpr int kSelectedRise = 2; // the active tab stands this much higher and wider

// The two-pixel raised edge of a tab or frame: white and light outside, shadow and dark
// shadow at the bottom and right.
void drawRaisedEdge(QPainter &painter, const QRect &r, bool bottom) {
  const QColor light = toQColor(clBtnHighlight);
  const QColor shadow = toQColor(clBtnShadow);
  const QColor darkShadow = QColor(0, 0, 0);
  painter.setPen(light);
  painter.drawLine(r.left(), r.top(), r.right() - 1, r.top());
  painter.drawLine(r.left(), r.top(), r.left(), r.bottom() - (bottom ? 1 : 0));
  painter.setPen(darkShadow);
  painter.drawLine(r.right(), r.top(), r.right(), r.bottom());
  painter.setPen(shadow);
  painter.drawLine(r.right() - 1, r.top() + 1, r.right() - 1, r.bottom() - (bottom ? 1 : 0));
  if (bottom) {
    painter.setPen(darkShadow);
    painter.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    painter.setPen(shadow);
    painter.drawLine(r.left() + 1, r.bottom() - 1, r.right() - 1, r.bottom() - 1);
  }
}
} // namespace

TPageControl::TPageControl(QWidget *parent) : TControl(parent) {
  setTabStop(true);
}

std::vector<TTabSheet *> TPageControl::pages() const {
  std::vector<TTabSheet *> result;
  for (QObject *child : children())
    if (auto *page = qobject_cast<TTabSheet *>(child)) result.push_back(page);
  return result;
}

void TPageControl::setActivePage(TTabSheet *page) {
  activePage_ = page;
  for (TTabSheet *p : pages())
    p->setVisible(p == activePage_);
  update();
}

QRect TPageControl::pageRect() const {
  return QRect(kFrameWidth, kTabRowHeight + kFrameWidth, width() - 2 * kFrameWidth,
               height() - kTabRowHeight - 2 * kFrameWidth);
}

QRect TPageControl::tabRect(int index) const {
  const QFontMetrics metrics(font());
  int left = kSelectedRise;
  const std::vector<TTabSheet *> all = pages();
  for (int i = 0; i < int(all.size()); ++i) {
    const int w = metrics.horizontalAdvance(all[i]->caption()) + 2 * kTabPadding;
    QRect r(left, kSelectedRise, w, kTabRowHeight - kSelectedRise);
    if (all[i] == activePage_) r.adjust(-kSelectedRise, -kSelectedRise, kSelectedRise, 1);
    if (i == index) return r;
    left += w;
  }
  return {};
}

void TPageControl::loaded() {
  TControl::loaded();
  if (!activePage_ && !pages().empty()) activePage_ = pages().front();
  setActivePage(activePage_);
  placePages();
}

void TPageControl::placePages() {
  for (TTabSheet *page : pages())
    page->setGeometry(pageRect());
}

void TPageControl::resizeEvent(QResizeEvent *event) {
  TControl::resizeEvent(event);
  placePages();
}

void TPageControl::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  painter.fillRect(rect(), backgroundColor());
  drawRaisedEdge(painter, rect().adjusted(0, kTabRowHeight, 0, 0), true);
  const std::vector<TTabSheet *> all = pages();
  for (int i = 0; i < int(all.size()); ++i) {
    const QRect tab = tabRect(i);
    painter.fillRect(tab.adjusted(1, 1, -1, 0), backgroundColor());
    drawRaisedEdge(painter, tab, false);
    painter.setPen(palette().color(QPalette::WindowText));
    const QRect text = tab.adjusted(0, 0, 0, all[i] == activePage_ ? -1 : 0);
    painter.drawText(text, Qt::AlignCenter | Qt::TextSingleLine, all[i]->caption());
    if (all[i] == activePage_ && hasFocus()) {
      QPen dotted(palette().color(QPalette::WindowText), 1, Qt::DotLine);
      painter.setPen(dotted);
      painter.drawRect(tab.adjusted(3, 3, -4, -3));
    }
  }
}

void TPageControl::keyPressEvent(QKeyEvent *event) {
  const std::vector<TTabSheet *> all = pages();
  const auto current = std::find(all.begin(), all.end(), activePage_);
  if (current != all.end() && (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)) {
    if (event->key() == Qt::Key_Left && current != all.begin())
      setActivePage(*(current - 1));
    else if (event->key() == Qt::Key_Right && current + 1 != all.end())
      setActivePage(*(current + 1));
    return;
  }
  TControl::keyPressEvent(event);
}

void TPageControl::mousePressEvent(QMouseEvent *event) {
  const std::vector<TTabSheet *> all = pages();
  for (int i = 0; i < int(all.size()); ++i)
    if (tabRect(i).contains(event->position().toPoint())) {
      setActivePage(all[i]);
      setFocus(Qt::MouseFocusReason);
    }
  TControl::mousePressEvent(event);
}

void TPageControl::focusInEvent(QFocusEvent *event) {
  update();
  TControl::focusInEvent(event);
}

void TPageControl::focusOutEvent(QFocusEvent *event) {
  update();
  TControl::focusOutEvent(event);
}

TTabSheet::TTabSheet(QWidget *parent) : TControl(parent) {}

void TTabSheet::setCaption(const QString &caption) {
  caption_ = caption;
  if (parentWidget()) parentWidget()->update();
}

} // namespace toolkit
