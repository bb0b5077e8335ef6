#include "output/text_export.h"

#include "toolkit/exceptions.h"
#include "toolkit/text_codec.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace output {

QByteArray exportedTextBytes(const QString &plainText) {
  QString text;
  text.reserve(plainText.size() + plainText.count(u'\n') + 4);
  text += u"\r\n";
  QChar previous;
  for (const QChar c : plainText) {
    if (c == u'\n' && previous != u'\r') text += u'\r';
    text += c;
    previous = c;
  }
  text += u"\r\n";
  return toolkit::toCp1251(text);
}

QString proposedFileName(const QString &nameValue, const QString &extension) {
  QString name = nameValue;
  name.replace(u'/', u'_').replace(QChar(u'\0'), u'_');
  QString ext = extension;
  ext.replace(u'/', u'_').replace(QChar(u'\0'), u'_');

  const qsizetype budget = kMaxFileNameBytes - QFile::encodeName(ext).size();
  qsizetype kept = 0; // characters of the name that fit
  qsizetype bytes = 0;
  while (kept < name.size()) {
    const qsizetype width = name[kept].isHighSurrogate() && kept + 1 < name.size() ? 2 : 1;
    const qsizetype size = QFile::encodeName(name.mid(kept, width)).size();
    if (bytes + size > budget) break;
    bytes += size;
    kept += width;
  }
  return name.left(kept) + ext;
}

namespace {

QString reasonText(int error) {
  switch (error) {
  case ENOENT:
    return QStringLiteral("папка не существует");
  case ENOTDIR:
    return QStringLiteral("часть пути не является папкой");
  case EACCES:
  case EPERM:
    return QStringLiteral("нет прав на запись");
  case EROFS:
    return QStringLiteral("файловая система доступна только для чтения");
  case ENOSPC:
    return QStringLiteral("на диске нет места");
  case EDQUOT:
    return QStringLiteral("превышена дисковая квота");
  case ENAMETOOLONG:
    return QStringLiteral("слишком длинное имя файла");
  case EISDIR:
    return QStringLiteral("под этим именем уже есть папка");
  case EIO:
    return QStringLiteral("ошибка ввода-вывода");
  case EINVAL:
  case EILSEQ:
    return QStringLiteral("файловая система не принимает такое имя");
  default:
    return QString::fromLocal8Bit(std::strerror(error));
  }
}

[[noreturn]] void failSave(const QString &path, const QString &reason) {
  throw toolkit::Exception(
      QStringLiteral("Не удалось сохранить файл \"%1\": %2").arg(path, reason));
}

[[noreturn]] void failSave(const QString &path, int error) {
  failSave(path, reasonText(error));
}

// The new content's file until it is renamed over the target; removed unless committed.
class TemporaryFile {
public:
  TemporaryFile(const QByteArray &folder, const QString &shownPath) {
    for (int attempt = 0; attempt < 100; ++attempt) {
      path_ = folder + "/.velanta-" +
              QByteArray::number(QRandomGenerator::global()->generate64(), 36) + ".tmp";
      fd_ = ::open(path_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd_ >= 0 || errno != EEXIST) break;
    }
    if (fd_ < 0) failSave(shownPath, errno);
  }
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_) ::unlink(path_.constData());
  }
  TemporaryFile(const TemporaryFile &) = delete;
  TemporaryFile &operator=(const TemporaryFile &) = delete;

  int fd() const { return fd_; }
  const QByteArray &path() const { return path_; }
  // Closes the descriptor; the file stays until committed or destroyed.
  int close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }
  void committed() { committed_ = true; }

private:
  QByteArray path_;
  int fd_ = -1;
  bool committed_ = false;
};

bool writeAll(int fd, const QByteArray &bytes) {
  const char *data = bytes.constData();
  qsizetype left = bytes.size();
  while (left > 0) {
    const ssize_t written = ::write(fd, data, size_t(left));
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    left -= written;
  }
  return true;
}

void syncFolder(const QByteArray &folder) {
  const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd); // the rename is durable; a file system without it loses nothing old
    ::close(fd);
  }
}

// The file that receives the content: the target itself or, for a symbolic link, the file
// the link names (so that the link stays a link).
QString resolvedTarget(const QString &path) {
  const QFileInfo info(path);
  return info.isSymLink() ? info.symLinkTarget() : info.absoluteFilePath();
}

} // namespace

void replaceFileContent(const QString &path, const QByteArray &bytes) {
  const QString target = resolvedTarget(path);
  const QByteArray targetName = QFile::encodeName(target);
  const QByteArray folder = QFile::encodeName(QFileInfo(target).absolutePath());

  struct stat existing {};
  const bool exists = ::stat(targetName.constData(), &existing) == 0;
  if (exists) {
    if (S_ISDIR(existing.st_mode)) failSave(path, EISDIR);
    // Refused for every user alike: root could write it, but the user marked it read-only.
    if ((existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
      failSave(path, QStringLiteral("файл доступен только для чтения"));
    if (::access(targetName.constData(), W_OK) != 0) failSave(path, errno);
  } else if (errno != ENOENT) {
    failSave(path, errno);
  }
  const QByteArray fileName = QFile::encodeName(QFileInfo(target).fileName());
  if (fileName.size() > kMaxFileNameBytes) failSave(path, ENAMETOOLONG);

  TemporaryFile temporary(folder, path);
  if (exists) {
    ::fchmod(temporary.fd(), existing.st_mode & 07777);
    if (::geteuid() == 0) (void)::fchown(temporary.fd(), existing.st_uid, existing.st_gid);
  }
  if (!writeAll(temporary.fd(), bytes) || ::fsync(temporary.fd()) != 0) failSave(path, errno);
  if (temporary.close() != 0) failSave(path, errno);
  if (::rename(temporary.path().constData(), targetName.constData()) != 0) failSave(path, errno);
  temporary.committed();
  syncFolder(folder);
}

} // namespace output
