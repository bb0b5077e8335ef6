// The common dialogs as non-visual components of a form: set their properties, call
// execute(), read the answer back from the properties.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QWidget;

namespace toolkit {

// The save dialog: Qt's own widget file dialog (never the desktop's native one), so that
// it looks and behaves the same on every desktop and can be driven by tests.
//
// Options (a set, as in a form description):
//   ofOverwritePrompt  choosing an existing file asks whether to replace it;
//   ofEnableSizing     the dialog can be resized (otherwise its size is fixed);
//   ofHideReadOnly     no "open as read-only" box (the widget dialog never has one).
// Filter: "description|pattern|description|pattern..." or a bare pattern, which then is
// the only entry of the list of file types.
class TSaveDialog : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString Title READ title WRITE setTitle)
  Q_PROPERTY(QString FileName READ fileName WRITE setFileName)
  Q_PROPERTY(QString Filter READ filter WRITE setFilter)
  Q_PROPERTY(int FilterIndex READ filterIndex WRITE setFilterIndex)
  Q_PROPERTY(QString DefaultExt READ defaultExt WRITE setDefaultExt)
  Q_PROPERTY(QString InitialDir READ initialDir WRITE setInitialDir)
  Q_PROPERTY(QStringList Options READ options WRITE setOptions)

public:
  explicit TSaveDialog(QObject *owner = nullptr);

  const QString &title() const { return title_; }
  void setTitle(const QString &title) { title_ = title; }
  // Before execute(): the proposed name; after a confirmation: the full chosen path.
  const QString &fileName() const { return fileName_; }
  void setFileName(const QString &fileName) { fileName_ = fileName; }
  const QString &filter() const { return filter_; }
  void setFilter(const QString &filter) { filter_ = filter; }
  int filterIndex() const { return filterIndex_; }
  void setFilterIndex(int index) { filterIndex_ = index; }
  const QString &defaultExt() const { return defaultExt_; }
  void setDefaultExt(const QString &ext) { defaultExt_ = ext; }
  const QString &initialDir() const { return initialDir_; }
  void setInitialDir(const QString &dir) { initialDir_ = dir; }
  const QStringList &options() const { return options_; }
  void setOptions(const QStringList &options) { options_ = options; }
  bool hasOption(const QString &option) const { return options_.contains(option); }

  // Shows the dialog modally over the active window. True when the user confirmed a file
  // (FileName then holds its full path); false when cancelled or closed.
  bool execute();

  // The dialog's entries for a Filter value ("description (pattern)" each).
  static QStringList nameFilters(const QString &filter);

  // The object name of the dialog widget while it is shown.
  static constexpr const char *kWidgetName = "SaveDialog";

private:
  QString title_;
  QString fileName_;
  QString filter_;
  int filterIndex_ = 1;
  QString defaultExt_;
  QString initialDir_;
  QStringList options_{QStringLiteral("ofHideReadOnly"), QStringLiteral("ofEnableSizing")};
};

// The print dialog: Qt's print dialog over the process's printer object (Printer()). A
// confirmation makes the chosen printer and its settings (copies and collation included)
// the printer object's, for this job and every later one; the next dialog opens with them.
//
// Options (a set): poPrintToFile (offer printing to a file), poPageNums (offer a page
// range), poSelection (offer printing the selection). None by default.
class TPrintDialog : public QObject {
  Q_OBJECT
  Q_PROPERTY(QStringList Options READ options WRITE setOptions)
  Q_PROPERTY(int Copies READ copies WRITE setCopies)
  Q_PROPERTY(bool Collate READ collate WRITE setCollate)

public:
  explicit TPrintDialog(QObject *owner = nullptr);

  const QStringList &options() const { return options_; }
  void setOptions(const QStringList &options) { options_ = options; }
  int copies() const { return copies_; }
  void setCopies(int copies) { copies_ = copies; }
  bool collate() const { return collate_; }
  void setCollate(bool collate) { collate_ = collate; }

  // Shows the dialog modally over the active window; true when confirmed. Fails with
  // "There is no default printer currently selected" before showing anything when the
  // printer object has no printer and the system has none to offer. While a job is in
  // progress the dialog works on a copy of the settings and leaves the running job alone.
  bool execute();

  static constexpr const char *kWidgetName = "PrintDialog";

private:
  QStringList options_;
  int copies_ = 0;
  bool collate_ = false;
};

// The window a common dialog is shown over: the active modal widget or window, if any.
QWidget *dialogParent();

} // namespace toolkit
