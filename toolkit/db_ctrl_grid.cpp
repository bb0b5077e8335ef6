#include "toolkit/db_ctrl_grid.h"

#include "toolkit/application.h"
#include "toolkit/db_text.h"
#include "toolkit/image.h"
#include "toolkit/panel.h"

#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>

#include <algorithm>

namespace toolkit {

namespace {
// The row template: a plain control holding the template's pictures and labels; the
// list draws them once per row and never shows the template itself.
class TDBCtrlPanel : public TControl {
public:
  explicit TDBCtrlPanel(QWidget *parent) : TControl(parent) { hide(); }
};

bool askDelete(QWidget *parent) {
  QMessageBox box(QMessageBox::Question,
                  Application() ? Application()->title() : QApplication::applicationName(),
                  QStringLiteral("Удалить запись?"), QMessageBox::NoButton, parent);
  QPushButton *yes = box.addButton(QStringLiteral("Да"), QMessageBox::YesRole);
  QPushButton *no = box.addButton(QStringLiteral("Нет"), QMessageBox::NoRole);
  box.setDefaultButton(no);
  box.setEscapeButton(no);
  box.exec();
  return box.clickedButton() == yes;
}
} // namespace

TDBCtrlGrid::TDBCtrlGrid(QWidget *parent)
    : TControl(parent), template_(new TDBCtrlPanel(this)),
      scrollBar_(new QScrollBar(Qt::Vertical, this)) {
  setTabStop(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  scrollBar_->setFocusPolicy(Qt::NoFocus);
  scrollBar_->setTracking(false);
  scrollBar_->setRange(1, 1);
  connect(scrollBar_, &QScrollBar::actionTriggered, this, &TDBCtrlGrid::scrollBarAction);
  connect(scrollBar_, &QScrollBar::sliderPressed, this, [this] { setFocus(Qt::MouseFocusReason); });
  connect(scrollBar_, &QScrollBar::sliderReleased, this, &TDBCtrlGrid::thumbReleased);
  placeScrollBar();
}

void TDBCtrlGrid::setColCount(int) {} // one column is all the window uses

void TDBCtrlGrid::setRowCount(int count) {
  rowCount_ = std::max(1, count);
  refresh();
}

void TDBCtrlGrid::setPanelWidth(int width) {
  panelWidth_ = width;
  template_->resize(panelWidth_, panelHeight_);
  update();
}

void TDBCtrlGrid::setPanelHeight(int height) {
  panelHeight_ = std::max(1, height);
  template_->resize(panelWidth_, panelHeight_);
  update();
}

void TDBCtrlGrid::setPanelBorder(int border) {
  panelBorder_ = border;
  update();
}

void TDBCtrlGrid::setSelectedColor(TColor color) {
  selectedColor_ = color;
  update();
}

QWidget *TDBCtrlGrid::childContainer() {
  return template_;
}

void TDBCtrlGrid::loaded() {
  TControl::loaded();
  placeScrollBar();
  refresh();
}

void TDBCtrlGrid::scaleBy(int numerator, int denominator) {
  setPanelWidth(mulDiv(panelWidth_, numerator, denominator));
  setPanelHeight(mulDiv(panelHeight_, numerator, denominator));
  TControl::scaleBy(numerator, denominator);
}

QRect TDBCtrlGrid::rowRect(int row) const {
  return QRect(0, row * panelHeight_, panelWidth_, panelHeight_);
}

int TDBCtrlGrid::rowAt(QPoint point) const {
  if (point.x() < 0 || point.x() >= panelWidth_ || point.y() < 0) return -1;
  const int row = point.y() / panelHeight_;
  return row < rowCount_ ? row : -1;
}

int TDBCtrlGrid::recordsInSet() const {
  const TDataSet *set = dataSet();
  if (!set || !set->active()) return 0;
  return set->recordCount() + (set->state() == dsInsert ? 1 : 0);
}

int TDBCtrlGrid::filledRows() const {
  if (!active()) return 0;
  return std::clamp(std::max(1, recordsInSet()) - top_ + 1, 0, rowCount_);
}

int TDBCtrlGrid::currentRecord() const {
  const TDataSet *set = dataSet();
  return set && set->active() ? std::max(1, set->recNo()) : 0;
}

int TDBCtrlGrid::currentRow() const {
  const int current = currentRecord();
  if (current == 0) return -1;
  const int row = current - top_;
  return row >= 0 && row < rowCount_ ? row : -1;
}

bool TDBCtrlGrid::pendingNewUnchanged() const {
  const TDataSet *set = dataSet();
  return set && set->state() == dsInsert && !set->modified();
}

// Keeps the current record inside the window of rows, and no empty rows below the last
// record while records above the window could fill them.
void TDBCtrlGrid::followCurrent() {
  const int current = currentRecord();
  if (current == 0) {
    top_ = 1;
    return;
  }
  if (current < top_)
    top_ = current;
  else if (current >= top_ + rowCount_)
    top_ = current - rowCount_ + 1;
  top_ = std::clamp(top_, 1, std::max(1, std::max(1, recordsInSet()) - rowCount_ + 1));
  top_ = std::min(top_, current);
}

void TDBCtrlGrid::refresh() {
  followCurrent();
  syncScrollBar();
  update();
}

void TDBCtrlGrid::activeChanged() {
  top_ = 1;
  refresh();
}
void TDBCtrlGrid::dataSetChanged() {
  refresh();
}
void TDBCtrlGrid::dataSetScrolled() {
  refresh();
}
void TDBCtrlGrid::recordChanged(TField *) {
  update();
}
void TDBCtrlGrid::editingChanged() {
  refresh();
}

void TDBCtrlGrid::placeScrollBar() {
  scrollBar_->setGeometry(width() - kScrollBarWidth, 0, kScrollBarWidth, height());
}

void TDBCtrlGrid::resizeEvent(QResizeEvent *event) {
  TControl::resizeEvent(event);
  placeScrollBar();
}

void TDBCtrlGrid::syncScrollBar() {
  syncing_ = true;
  const TDataSet *set = dataSet();
  const int count = set && set->active() ? set->recordCount() : 0;
  scrollBar_->setRange(1, std::max(1, count));
  scrollBar_->setPageStep(rowCount_);
  scrollBar_->setSingleStep(1);
  const int current = currentRecord();
  scrollBar_->setSliderPosition(std::max(1, current));
  scrollBar_->setValue(std::max(1, current));
  syncing_ = false;
}

void TDBCtrlGrid::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  const QColor plain = backgroundColor();
  const QColor selected = toQColor(selectedColor_);
  painter.fillRect(QRect(0, 0, width() - kScrollBarWidth, height()), plain);

  const int filled = filledRows();
  const int current = currentRow();
  TDataSet *set = dataSet();
  // The template's controls, in their drawing order (creation order).
  std::vector<TControl *> parts;
  for (QObject *child : template_->children())
    if (auto *control = qobject_cast<TControl *>(child)) parts.push_back(control);
  std::vector<QStringList> texts(parts.size());
  for (size_t i = 0; i < parts.size(); ++i)
    if (auto *text = qobject_cast<TDBText *>(parts[i]); text && filled > 0)
      if (TField *field = text->field(); field && !set->isEmpty())
        texts[i] = set->displayTexts(field, top_, filled);

  for (int row = 0; row < rowCount_; ++row) {
    const QRect area = rowRect(row);
    const bool isCurrent = row == current;
    const QColor colour = isCurrent ? selected : plain;
    painter.fillRect(area, colour);
    if (row < filled) {
      for (size_t i = 0; i < parts.size(); ++i) {
        const QPoint origin = area.topLeft() + parts[i]->pos();
        if (auto *image = qobject_cast<TImage *>(parts[i]))
          image->drawAt(painter, origin);
        else if (auto *text = qobject_cast<TDBText *>(parts[i]))
          text->drawText(painter, origin, row < texts[i].size() ? texts[i][row] : QString(),
                         colour);
      }
    }
    if (panelBorder_ == gbRaised) drawBevel(painter, area, bvRaised, 1);
    if (isCurrent && hasFocus()) {
      painter.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
      painter.setBrush(Qt::NoBrush);
      painter.drawRect(area.adjusted(2, 2, -3, -3));
    }
  }
}

// ---- moves ----

void TDBCtrlGrid::stepBack() {
  TDataSet *set = dataSet();
  if (pendingNewUnchanged()) {
    // The untouched new record is dropped; the record above its place becomes current.
    const int place = set->recNo();
    const bool appended = place > set->recordCount();
    set->cancel();
    if (!appended && place > 1) set->setRecNo(place - 1);
    return;
  }
  set->prior();
}

void TDBCtrlGrid::stepForward(bool appendAtEnd) {
  TDataSet *set = dataSet();
  if (pendingNewUnchanged()) {
    // An untouched appended record stays; an untouched inserted one is dropped, which
    // leaves current the record that was below it.
    if (set->recNo() <= set->recordCount()) set->cancel();
    return;
  }
  if (set->state() != dsInsert && set->recNo() >= set->recordCount()) {
    if (appendAtEnd && set->canModify() && set->recordCount() > 0) set->append();
    return;
  }
  set->next();
}

void TDBCtrlGrid::movePage(int direction) {
  TDataSet *set = dataSet();
  const int row = std::max(0, currentRecord() - top_);
  set->moveBy(direction * rowCount_);
  top_ = currentRecord() - row;
  refresh();
}

void TDBCtrlGrid::goTo(int recNo) {
  TDataSet *set = dataSet();
  if (pendingNewUnchanged()) {
    const int place = set->recNo();
    set->cancel();
    if (recNo > place) --recNo;
  }
  if (set->recordCount() == 0) return;
  set->setRecNo(std::clamp(recNo, 1, set->recordCount()));
}

void TDBCtrlGrid::deleteCurrent() {
  TDataSet *set = dataSet();
  if (set->state() == dsInsert) {
    set->cancel(); // a new, unstored record is only dropped
    return;
  }
  if (!set->isEmpty() && !askDelete(window())) return;
  set->deleteRecord(); // on an empty data set this reports why it cannot
}

void TDBCtrlGrid::keyPressEvent(QKeyEvent *event) {
  TDataSet *set = dataSet();
  if (!set || !set->active()) {
    TControl::keyPressEvent(event);
    return;
  }
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  switch (event->key()) {
  case Qt::Key_Up:
  case Qt::Key_Left:
    stepBack();
    break;
  case Qt::Key_Down:
  case Qt::Key_Right:
    stepForward(true);
    break;
  case Qt::Key_PageUp:
    movePage(-1);
    break;
  case Qt::Key_PageDown:
    movePage(1);
    break;
  case Qt::Key_Home:
    set->first();
    break;
  case Qt::Key_End:
    set->last();
    break;
  case Qt::Key_Insert:
    if (set->canModify()) ctrl ? set->append() : set->insert();
    break;
  case Qt::Key_Delete:
    if (ctrl && set->canModify()) deleteCurrent();
    break;
  case Qt::Key_Escape:
    if (set->state() == dsEdit || set->state() == dsInsert) set->cancel();
    break;
  default:
    break; // Enter, F2, Delete and the rest do nothing
  }
  refresh();
}

void TDBCtrlGrid::mousePressEvent(QMouseEvent *event) {
  if (event->button() == Qt::LeftButton) {
    const int row = rowAt(event->position().toPoint());
    if (row >= 0 && row < filledRows() && row != currentRow()) goTo(top_ + row);
    setFocus(Qt::MouseFocusReason);
    refresh();
  }
  event->accept();
}

void TDBCtrlGrid::mouseReleaseEvent(QMouseEvent *event) {
  event->accept();
}

void TDBCtrlGrid::mouseDoubleClickEvent(QMouseEvent *event) {
  mousePressEvent(event);
}

void TDBCtrlGrid::focusInEvent(QFocusEvent *event) {
  update();
  TControl::focusInEvent(event);
}

void TDBCtrlGrid::focusOutEvent(QFocusEvent *event) {
  update();
  TControl::focusOutEvent(event);
}

void TDBCtrlGrid::thumbReleased() {
  if (TDataSet *set = dataSet(); set && set->active()) goTo(scrollBar_->sliderPosition());
  refresh();
}

void TDBCtrlGrid::scrollBarAction(int action) {
  if (syncing_) return;
  setFocus(Qt::MouseFocusReason);
  TDataSet *set = dataSet();
  if (set && set->active()) {
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
      stepBack();
      break;
    case QAbstractSlider::SliderSingleStepAdd:
      stepForward(false);
      break;
    case QAbstractSlider::SliderPageStepSub:
      movePage(-1);
      break;
    case QAbstractSlider::SliderPageStepAdd:
      movePage(1);
      break;
    case QAbstractSlider::SliderToMinimum:
      set->first();
      break;
    case QAbstractSlider::SliderToMaximum:
      set->last();
      break;
    default:
      break; // the rows do not follow a dragged thumb
    }
  }
  followCurrent();
  update();
  // The bar shows the current record, whatever the action asked for.
  scrollBar_->setSliderPosition(std::max(1, currentRecord()));
}

} // namespace toolkit
