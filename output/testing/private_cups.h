// A private CUPS server for printing tests: its own folder, its own socket, a queue that
// writes what it receives as a PDF file. The tests' process talks to it through
// CUPS_SERVER, which must be set before the first use of printing in the process.
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <optional>
#include <vector>

namespace output_testing {

// A job as the server keeps it (its control file).
struct CupsJob {
  int id = 0;
  QString name;              // job-name
  std::optional<int> copies; // copies, when the job asked for it
};

class PrivateCups {
public:
  PrivateCups();
  ~PrivateCups();
  PrivateCups(const PrivateCups &) = delete;
  PrivateCups &operator=(const PrivateCups &) = delete;

  bool running() const { return pid_ > 0; }
  // Why the server is not running (to skip the tests that need it).
  const QString &failure() const { return failure_; }

  // Adds a queue that writes each job's PDF to a file of its own; returns that file's path.
  QString addPdfQueue(const QString &name, bool makeDefault);
  void removeQueue(const QString &name);

  // Every job the server has been given so far, oldest first.
  std::vector<CupsJob> jobs() const;
  // The document file the job was given (kept by the server after printing).
  QString documentPath(int jobId) const;
  // Waits until no job is pending or processing; false on timeout.
  bool waitUntilIdle(int timeoutMs = 30000) const;

  // The process's one server, started on first use.
  static PrivateCups &instance();

private:
  bool start();
  QString run(const QString &program, const QStringList &arguments, int *exitCode = nullptr) const;

  QTemporaryDir folder_;
  qint64 pid_ = 0;
  QString failure_;
};

// Number of pages of a PDF file (pdfinfo), or -1.
int pdfPageCount(const QString &path);
// The text of a PDF file (pdftotext), page by page separated by form feeds.
QString pdfText(const QString &path);

} // namespace output_testing
