// A data-aware rich-text box: shows one field of its data source's current record and, when
// not read-only, writes what the user typed back into it.
//
// A memo field is loaded as rich text (RTF), else as plain text, else the box shows
// "(Failed to Load Stream)"; any other field shows its text as plain text. The box is empty
// while the data set has no current record or is not open.
//
// Editing (ReadOnly false): the box stays read-only until a keystroke that would change
// its text; that keystroke first puts the data set into edit (or, when it has no records,
// appends a new record), then takes effect. Esc puts the field's value back. The text is
// written into the field (line breaks as CR LF) when the box loses the focus to another
// control and when the data set is about to leave or store the record.
#pragma once

#include "toolkit/control.h"
#include "toolkit/data_set.h"

class QTextEdit;
class QTextDocument;

namespace toolkit {

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TBevelKind { bkNone, bkTile, bkSoft, bkFlat };

class TDBRichEdit : public TControl, public TDataLink {
  Q_OBJECT
  Q_PROPERTY(toolkit::TDataSource *DataSource READ dataSource WRITE setDataSource)
  Q_PROPERTY(QString DataField READ dataField WRITE setDataField)
  Q_PROPERTY(bool ReadOnly READ readOnly WRITE setReadOnly)
  Q_PROPERTY(int ScrollBars READ scrollBars WRITE setScrollBars)
  Q_PROPERTY(bool WordWrap READ wordWrap WRITE setWordWrap)
  Q_PROPERTY(int Alignment READ alignment WRITE setAlignment)
  Q_PROPERTY(int BevelKind READ bevelKind WRITE setBevelKind)
  Q_PROPERTY(int BevelOuter READ bevelOuter WRITE setBevelOuter)
  Q_PROPERTY(int BevelInner READ bevelInner WRITE setBevelInner)

public:
  explicit TDBRichEdit(QWidget *parent = nullptr);

  const QString &dataField() const { return dataField_; }
  void setDataField(const QString &field);
  bool readOnly() const { return readOnly_; }
  void setReadOnly(bool readOnly);
  int scrollBars() const { return scrollBars_; }
  void setScrollBars(int style);
  bool wordWrap() const { return wordWrap_; }
  void setWordWrap(bool wrap);
  int alignment() const { return alignment_; }
  void setAlignment(int alignment);
  int bevelKind() const { return bevelKind_; }
  void setBevelKind(int kind);
  int bevelOuter() const { return bevelOuter_; }
  void setBevelOuter(int cut);
  int bevelInner() const { return bevelInner_; }
  void setBevelInner(int cut);

  // The bound field of the open data set, or null.
  TField *field() const;
  QTextEdit *editor() const { return editor_; }
  QTextDocument *document() const;
  // The text without formatting, as the output commands take it.
  QString plainText() const;
  // True while the box holds typed text not yet written into the field.
  bool pendingChange() const { return modified_; }
  // Writes typed text into the field now (what losing the focus does).
  void commitText();

  void loaded() override;

  // Data link notices.
  // On opening, the field is looked up by name: a table without it fails to open.
  void activeChanged() override;
  void dataSetChanged() override { reload(); }
  void dataSetScrolled() override { reload(); }
  void recordChanged(TField *field) override;
  void editingChanged() override;
  void updateData() override { commitText(); }

protected:
  void paintEvent(QPaintEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;
  void applyColor() override;

private:
  void reload();
  void fillDocument(QTextDocument &document) const;
  void watchDocument(QTextDocument &document);
  void placeEditor();
  int bevelWidth() const;
  // Begins an edit of the record for a keystroke; false when the record cannot change.
  bool beginEdit();
  bool isEditingKey(const class QKeyEvent *event) const;
  void setEditorWritable(bool writable);

  QTextEdit *editor_;
  QString dataField_;
  bool readOnly_ = false;
  int scrollBars_ = ssBoth;
  bool wordWrap_ = true;
  int alignment_ = taLeftJustify;
  int bevelKind_ = bkNone;
  int bevelOuter_ = 2; // bvRaised
  int bevelInner_ = 1; // bvLowered
  bool modified_ = false;
  bool loading_ = false;
  bool writing_ = false;
};

// Loads a memo's stored bytes into a document by the text view's rule.
void loadMemo(const QByteArray &bytes, QTextDocument &document, const QFont &font);

} // namespace toolkit
