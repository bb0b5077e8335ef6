// Failures of the class-library layer and of the program above it. Handlers never catch
// them: the application's three catch points show them in the error box.
#pragma once

#include <QString>

#include <exception>
#include <string>

namespace toolkit {

// A failure with a message for the user.
class Exception : public std::exception {
public:
  explicit Exception(QString message) : message_(std::move(message)) {}
  const QString &message() const noexcept { return message_; }
  const char *what() const noexcept override;

private:
  QString message_;
  mutable std::string utf8_; // what() keeps its buffer alive with the exception
};

// Ends a handler silently: the catch points show nothing for it.
class EAbort : public Exception {
public:
  EAbort() : Exception(QStringLiteral("Operation aborted")) {}
};

// A failure found by the data-access layer itself ("Table1: Field 'Tip' not found").
class EDatabaseError : public Exception {
public:
  using Exception::Exception;
};

// A refusal of the table engine, with the engine's error code and text.
class EDBEngineError : public EDatabaseError {
public:
  EDBEngineError(int errorCode, QString message)
      : EDatabaseError(std::move(message)), errorCode_(errorCode) {}
  int errorCode() const noexcept { return errorCode_; }

private:
  int errorCode_;
};

// A form description that cannot be built: names the file, line and offending word.
class EFormError : public Exception {
public:
  using Exception::Exception;
};

} // namespace toolkit
