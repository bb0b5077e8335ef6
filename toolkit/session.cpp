#include "toolkit/session.h"

#include "toolkit/exceptions.h"
#include "toolkit/password_dialog.h"

#include <QStringEncoder>

namespace toolkit {

namespace {

// The engine's own code for a facility it lacks (0xF003 in the engine's list).
constexpr int kEngineNotSupported = 0xF003;

// The engine needs nothing loaded at run time but the single-byte code page in which the
// tables hold their text; without it no text could cross between the tables and the window.
int engineStartupError() {
  QStringEncoder encoder("windows-1251");
  return encoder.isValid() ? 0 : kEngineNotSupported;
}

} // namespace

TSession &TSession::defaultSession() {
  static TSession session(QStringLiteral("Default"));
  return session;
}

TSession &Session() {
  return TSession::defaultSession();
}

void TSession::start() {
  if (started_) return;
  if (const int code = engineStartupError())
    throw EDBEngineError(
        code, QStringLiteral("An error occurred while attempting to initialize "
                             "the Borland Database Engine (error $%1)")
                  .arg(QString::number(code, 16).toUpper().rightJustified(4, QLatin1Char('0'))));
  started_ = true;
}

void TSession::addPassword(const QString &password) {
  start();
  if (!password.isEmpty() && !passwords_.contains(password)) passwords_.append(password);
}

void TSession::removePassword(const QString &password) {
  start();
  passwords_.removeAll(password);
}

void TSession::removeAllPasswords() {
  start();
  passwords_.clear();
}

bool TSession::getPassword(QWidget *parent) {
  TPasswordDialog dialog(*this, parent);
  return dialog.exec() == QDialog::Accepted;
}

} // namespace toolkit
