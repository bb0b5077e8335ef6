// The session's password dialog "Enter password": a typed password with buttons that add it
// to or remove it from the session's list, empty the list, confirm or cancel.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace toolkit {

class TSession;

class TPasswordDialog : public QDialog {
  Q_OBJECT

public:
  explicit TPasswordDialog(TSession &session, QWidget *parent = nullptr);

  QLineEdit *passwordEdit() const { return edit_; }

protected:
  void showEvent(QShowEvent *event) override;

private:
  void addTyped();
  void removeTyped();
  void removeAll();
  void confirm();
  void updateButtons();
  void refocus();

  TSession &session_;
  QLineEdit *edit_;
  QPushButton *add_;
  QPushButton *remove_;
  QPushButton *removeAll_;
  QPushButton *ok_;
  QPushButton *cancel_;
  bool added_ = false; // "&OK" stays enabled once "&Add" has been used
};

} // namespace toolkit
