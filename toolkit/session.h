// The default database session: the one list of table passwords that every table of the
// process hands to the engine, and the dialog that asks the user for another one.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace toolkit {

class TSession {
public:
  TSession(const TSession &) = delete;
  TSession &operator=(const TSession &) = delete;

  // The process's session, named "Default".
  static TSession &defaultSession();
  const QString &sessionName() const { return name_; }

  // Starts the session on its first use: checks that the table engine can work here.
  // Throws EDBEngineError "An error occurred while attempting to initialize the Borland
  // Database Engine (error $XXXX)" when it cannot.
  void start();
  bool started() const { return started_; }

  // The password list (starts the session). Adding a password already held, or removing
  // one not held, changes nothing.
  void addPassword(const QString &password);
  void removePassword(const QString &password);
  void removeAllPasswords();
  const QStringList &passwords() const { return passwords_; }

  // Shows the password dialog "Enter password". Returns true when the user confirmed it
  // (the typed password, if any, is then in the list), false when the user cancelled.
  bool getPassword(QWidget *parent = nullptr);

private:
  explicit TSession(QString name) : name_(std::move(name)) {}
  QString name_;
  QStringList passwords_;
  bool started_ = false;
};

// The default session, as the data-access components use it.
TSession &Session();

} // namespace toolkit
