// A data-aware label: one field's display text of the current record, on one line,
// left-aligned, cut at the right edge without an ellipsis ("&" shown as itself). Inside a
// list's row template (TDBCtrlGrid) the list draws it once per record instead.
#pragma once

#include "toolkit/control.h"
#include "toolkit/data_set.h"

namespace toolkit {

class TDBText : public TControl, public TDataLink {
  Q_OBJECT
  Q_PROPERTY(toolkit::TDataSource *DataSource READ dataSource WRITE setDataSource)
  Q_PROPERTY(QString DataField READ dataField WRITE setDataField)
  Q_PROPERTY(bool Transparent READ transparent WRITE setTransparent)

public:
  explicit TDBText(QWidget *parent = nullptr);

  const QString &dataField() const { return dataField_; }
  void setDataField(const QString &field);
  bool transparent() const { return transparent_; }
  void setTransparent(bool transparent);
  bool isWindowed() const override { return false; }
  // The bound field of the open data set, or null.
  TField *field() const;
  // The text shown for the current record.
  QString text() const;

  // Draws `text` as the control shows it, its top-left corner at `origin`, on `background`
  // (a list's row passes its own colour).
  void drawText(QPainter &painter, QPoint origin, const QString &text,
                const QColor &background) const;

  // On opening, the field is looked up by name: a table without it fails to open.
  void activeChanged() override;
  void dataSetChanged() override { update(); }
  void dataSetScrolled() override { update(); }
  void recordChanged(TField *) override { update(); }

protected:
  void paintEvent(QPaintEvent *event) override;

private:
  QString dataField_;
  bool transparent_ = false;
};

} // namespace toolkit
