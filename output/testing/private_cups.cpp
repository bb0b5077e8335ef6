#include "output/testing/private_cups.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace output_testing {

namespace {
constexpr const char *kCupsd = "/usr/sbin/cupsd";
constexpr const char *kPdfPpd = "/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd";

bool writeText(const QString &path, const QString &text) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) == text.toUtf8().size();
}

// Reads a big-endian 16-bit length at `at`.
int length16(const QByteArray &bytes, qsizetype at) {
  return (static_cast<unsigned char>(bytes[at]) << 8) | static_cast<unsigned char>(bytes[at + 1]);
}

// The value of the first IPP attribute named `name` in an encoded attribute list.
std::optional<QByteArray> ippValue(const QByteArray &bytes, const QByteArray &name) {
  QByteArray key(2, '\0');
  key[0] = char(name.size() >> 8);
  key[1] = char(name.size() & 0xff);
  key += name;
  const qsizetype at = bytes.indexOf(key);
  if (at < 0 || at + key.size() + 2 > bytes.size()) return std::nullopt;
  const qsizetype valueAt = at + key.size() + 2;
  const int size = length16(bytes, at + key.size());
  if (valueAt + size > bytes.size()) return std::nullopt;
  return bytes.mid(valueAt, size);
}
} // namespace

PrivateCups::PrivateCups() {
  if (::geteuid() != 0)
    failure_ = QStringLiteral("a private cupsd needs root here (its filters run as user lp)");
  else if (!QFileInfo::exists(QString::fromLatin1(kCupsd)))
    failure_ = QStringLiteral("cupsd is not installed (package cups)");
  else if (!QFileInfo::exists(QString::fromLatin1(kPdfPpd)))
    failure_ = QStringLiteral("the PDF driver is not installed (package cups-filters)");
  else if (!folder_.isValid())
    failure_ = QStringLiteral("no temporary folder");
  else
    start();
}

PrivateCups::~PrivateCups() {
  if (pid_ > 0) {
    ::kill(pid_t(pid_), SIGTERM);
    int status = 0;
    ::waitpid(pid_t(pid_), &status, 0);
  }
}

PrivateCups &PrivateCups::instance() {
  static PrivateCups server;
  return server;
}

bool PrivateCups::start() {
  const QString dir = folder_.path();
  for (const char *sub :
       {"root", "root/ppd", "root/ssl", "spool", "tmp", "state", "cache", "log", "out"})
    QDir(dir).mkpath(QString::fromLatin1(sub));
  // Filters run as user lp: they must reach the folder and write their temporary files.
  ::chmod(QFile::encodeName(dir).constData(), 0755);
  ::chmod(QFile::encodeName(dir + QStringLiteral("/tmp")).constData(), 01777);
  ::chmod(QFile::encodeName(dir + QStringLiteral("/out")).constData(), 0777);

  const QString files =
      QStringLiteral("ServerRoot %1/root\nRequestRoot %1/spool\nTempDir %1/tmp\n"
                     "StateDir %1/state\nCacheDir %1/cache\nAccessLog %1/log/access_log\n"
                     "ErrorLog %1/log/error_log\nPageLog %1/log/page_log\n"
                     "Printcap %1/printcap\nFileDevice Yes\nSystemGroup root\n")
          .arg(dir);
  const QString server =
      QStringLiteral("Listen %1/cups.sock\nBrowsing No\nWebInterface No\n"
                     "LogLevel warn\nPreserveJobHistory Yes\nPreserveJobFiles Yes\n"
                     "DirtyCleanInterval 0\n"
                     "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                     "<Policy default>\n  <Limit All>\n    Order deny,allow\n"
                     "    Allow all\n  </Limit>\n</Policy>\n")
          .arg(dir);
  if (!writeText(dir + QStringLiteral("/cups-files.conf"), files) ||
      !writeText(dir + QStringLiteral("/cupsd.conf"), server)) {
    failure_ = QStringLiteral("cannot write the server's configuration");
    return false;
  }
  const QString socket = dir + QStringLiteral("/cups.sock");
  qputenv("CUPS_SERVER", QFile::encodeName(socket));

  const QByteArray conf = QFile::encodeName(dir + QStringLiteral("/cupsd.conf"));
  const QByteArray filesConf = QFile::encodeName(dir + QStringLiteral("/cups-files.conf"));
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGTERM); // the server goes with the test, even when it crashes
    ::execl(kCupsd, "cupsd", "-f", "-c", conf.constData(), "-s", filesConf.constData(), nullptr);
    ::_exit(127);
  }
  if (pid < 0) {
    failure_ = QStringLiteral("cannot start cupsd");
    return false;
  }
  pid_ = pid;
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 10000) {
    int exitCode = -1;
    const QString answer = run(QStringLiteral("lpstat"), {QStringLiteral("-r")}, &exitCode);
    if (exitCode == 0 && answer.contains(QStringLiteral("is running"))) return true;
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) {
      pid_ = 0;
      failure_ = QStringLiteral("cupsd stopped at once (see %1/log/error_log)").arg(dir);
      return false;
    }
    QThread::msleep(20);
  }
  failure_ = QStringLiteral("cupsd did not answer within 10 s");
  return false;
}

QString PrivateCups::run(const QString &program, const QStringList &arguments,
                         int *exitCode) const {
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(program, arguments);
  process.waitForFinished(30000);
  if (exitCode) *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  return QString::fromUtf8(process.readAll());
}

QString PrivateCups::addPdfQueue(const QString &name, bool makeDefault) {
  const QString output = folder_.path() + QStringLiteral("/out/") + name + QStringLiteral(".pdf");
  QFile::remove(output);
  int exitCode = -1;
  const QString answer =
      run(QStringLiteral("lpadmin"),
          {QStringLiteral("-p"), name, QStringLiteral("-E"), QStringLiteral("-v"),
           QStringLiteral("file://") + output, QStringLiteral("-m"),
           QStringLiteral("lsb/usr/cupsfilters/Generic-PDF_Printer-PDF.ppd")},
          &exitCode);
  if (exitCode != 0) qWarning("lpadmin -p %s: %s", qPrintable(name), qPrintable(answer));
  if (makeDefault) run(QStringLiteral("lpadmin"), {QStringLiteral("-d"), name});
  return output;
}

void PrivateCups::removeQueue(const QString &name) {
  run(QStringLiteral("lpadmin"), {QStringLiteral("-x"), name});
}

std::vector<CupsJob> PrivateCups::jobs() const {
  std::vector<CupsJob> jobs;
  const QDir spool(folder_.path() + QStringLiteral("/spool"));
  static const QRegularExpression controlFile(QStringLiteral("^c(\\d+)$"));
  for (const QString &entry : spool.entryList(QDir::Files, QDir::Name)) {
    const auto match = controlFile.match(entry);
    if (!match.hasMatch()) continue;
    QFile file(spool.filePath(entry));
    if (!file.open(QIODevice::ReadOnly)) continue;
    const QByteArray bytes = file.readAll();
    CupsJob job;
    job.id = match.captured(1).toInt();
    if (const auto name = ippValue(bytes, "job-name")) job.name = QString::fromUtf8(*name);
    if (const auto copies = ippValue(bytes, "copies"); copies && copies->size() == 4)
      job.copies = (static_cast<unsigned char>((*copies)[0]) << 24) |
                   (static_cast<unsigned char>((*copies)[1]) << 16) |
                   (static_cast<unsigned char>((*copies)[2]) << 8) |
                   static_cast<unsigned char>((*copies)[3]);
    jobs.push_back(job);
  }
  return jobs;
}

QString PrivateCups::documentPath(int jobId) const {
  return folder_.path() + QStringLiteral("/spool/d%1-001").arg(jobId, 5, 10, QLatin1Char('0'));
}

bool PrivateCups::waitUntilIdle(int timeoutMs) const {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < timeoutMs) {
    if (run(QStringLiteral("lpstat"), {QStringLiteral("-o")}).trimmed().isEmpty()) return true;
    QThread::msleep(50);
  }
  return false;
}

int pdfPageCount(const QString &path) {
  QProcess process;
  process.start(QStringLiteral("pdfinfo"), {path});
  process.waitForFinished(30000);
  static const QRegularExpression pages(QStringLiteral("^Pages:\\s+(\\d+)"),
                                        QRegularExpression::MultilineOption);
  const auto match = pages.match(QString::fromUtf8(process.readAllStandardOutput()));
  return match.hasMatch() ? match.captured(1).toInt() : -1;
}

QString pdfText(const QString &path) {
  QProcess process;
  process.start(QStringLiteral("pdftotext"),
                {QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-")});
  process.waitForFinished(30000);
  return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace output_testing
