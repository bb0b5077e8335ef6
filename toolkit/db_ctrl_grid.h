// A data-aware list: a window of consecutive records of its data source's data set, one
// record a row, each row drawn from the row template (the controls the form description
// puts into the list: pictures and data-aware labels) on a panel with a raised one-pixel
// edge. The current record's row has SelectedColor, the others the list's Color; rows
// below the last record are empty. A vertical scroll bar on the right stands for the whole
// data set.
//
// Mouse: a press on another record's row makes it current; every press focuses the list.
// Keys: Up/Left, Down/Right (appending at the end), Page Up/Down (by the rows shown),
// Home/End, Insert, Ctrl+Insert (append), Ctrl+Delete (asks "Удалить запись?" first),
// Esc (drops a pending edit or new record). Insertion and deletion only when the data set
// can be modified.
#pragma once

#include "toolkit/control.h"
#include "toolkit/data_set.h"

class QScrollBar;

namespace toolkit {

enum TDBCtrlGridBorder { gbNone, gbRaised };

class TDBCtrlGrid : public TControl, public TDataLink {
  Q_OBJECT
  Q_PROPERTY(toolkit::TDataSource *DataSource READ dataSource WRITE setDataSource)
  Q_PROPERTY(int ColCount READ colCount WRITE setColCount)
  Q_PROPERTY(int RowCount READ rowCount WRITE setRowCount)
  Q_PROPERTY(int PanelWidth READ panelWidth WRITE setPanelWidth)
  Q_PROPERTY(int PanelHeight READ panelHeight WRITE setPanelHeight)
  Q_PROPERTY(int PanelBorder READ panelBorder WRITE setPanelBorder)
  Q_PROPERTY(int SelectedColor READ selectedColor WRITE setSelectedColor)

public:
  explicit TDBCtrlGrid(QWidget *parent = nullptr);

  int colCount() const { return 1; }
  void setColCount(int count);
  int rowCount() const { return rowCount_; }
  void setRowCount(int count);
  int panelWidth() const { return panelWidth_; }
  void setPanelWidth(int width);
  int panelHeight() const { return panelHeight_; }
  void setPanelHeight(int height);
  int panelBorder() const { return panelBorder_; }
  void setPanelBorder(int border);
  TColor selectedColor() const { return selectedColor_; }
  void setSelectedColor(TColor color);

  // The row template: the form description's children of the list live here (hidden).
  QWidget *childContainer() override;
  void loaded() override;
  void scaleBy(int numerator, int denominator) override;

  QScrollBar *scrollBar() const { return scrollBar_; }
  // The rectangle of row `row` (0 = top), and the row at a point (-1 outside the rows).
  QRect rowRect(int row) const;
  int rowAt(QPoint point) const;
  // The record number shown in the top row (1 while nothing is shown).
  int topRecord() const { return top_; }
  // How many rows hold a record (the new record of an insertion included; one for an open
  // empty data set; none when it is not open).
  int filledRows() const;
  // The row of the current record, or -1 when there is none.
  int currentRow() const;

  // Data link notices.
  void activeChanged() override;
  void dataSetChanged() override;
  void dataSetScrolled() override;
  void recordChanged(TField *field) override;
  void editingChanged() override;

  static constexpr int kScrollBarWidth = 17;

protected:
  void paintEvent(QPaintEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void mouseDoubleClickEvent(QMouseEvent *event) override;
  void focusInEvent(QFocusEvent *event) override;
  void focusOutEvent(QFocusEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;

private:
  int recordsInSet() const;
  int currentRecord() const;
  bool pendingNewUnchanged() const;
  void followCurrent();
  void refresh();
  void placeScrollBar();
  void syncScrollBar();
  void scrollBarAction(int action);
  // Releasing a dragged thumb makes the record at its position current.
  void thumbReleased();
  // The moves of the keys and the scroll bar.
  void stepBack();
  void stepForward(bool appendAtEnd);
  void movePage(int direction);
  void goTo(int recNo);
  void deleteCurrent();

  QWidget *template_;
  QScrollBar *scrollBar_;
  int rowCount_ = 3;
  int panelWidth_ = 200;
  int panelHeight_ = 72;
  int panelBorder_ = gbRaised;
  TColor selectedColor_ = clWindow;
  int top_ = 1;
  bool syncing_ = false;
};

} // namespace toolkit
