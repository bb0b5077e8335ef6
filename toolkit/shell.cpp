#include "toolkit/shell.h"

#include <QDesktopServices>
#include <QUrl>

namespace toolkit {

bool ShellExecute(QWidget *, const QString &operation, const QString &file,
                  const QString &parameters, const QString &directory, int) {
  if (operation.compare(QStringLiteral("open"), Qt::CaseInsensitive) != 0 ||
      !parameters.isEmpty() || !directory.isEmpty() || file.isEmpty())
    return false;
  const QUrl url = QUrl::fromUserInput(file);
  if (!url.isValid()) return false;
  return QDesktopServices::openUrl(url);
}

} // namespace toolkit
