// velanta-tool rtf2text: the plain text the text view gives for a document body, so that our
// reader can be compared with others.
#include "tools/command.h"

#include "richtext/text_view_loading.h"

#include <QByteArray>
#include <QFile>
#include <QStringEncoder>

#include <cstdio>
#include <iostream>

namespace {

constexpr const char *kUsage = "rtf2text [--encoding utf-8|cp1251] FILE|-";

int fail(const std::string &message) {
  std::cerr << "velanta-tool rtf2text: " << message << "\n";
  return 2;
}

bool readAll(const std::string &path, QByteArray &bytes) {
  QFile file;
  const bool opened = path == "-" ? file.open(stdin, QIODevice::ReadOnly)
                                  : (file.setFileName(QString::fromStdString(path)),
                                     file.open(QIODevice::ReadOnly));
  if (!opened) return false;
  bytes = file.readAll();
  return file.error() == QFileDevice::NoError;
}

int rtf2text(const std::vector<std::string> &args) {
  std::string encoding = "utf-8";
  std::string path;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--encoding" && i + 1 < args.size())
      encoding = args[++i];
    else if (path.empty() && (args[i] == "-" || args[i].rfind("--", 0) != 0))
      path = args[i];
    else
      return fail(std::string("usage: velanta-tool ") + kUsage);
  }
  if (path.empty()) return fail(std::string("usage: velanta-tool ") + kUsage);
  if (encoding != "utf-8" && encoding != "cp1251")
    return fail("unknown encoding '" + encoding + "' (utf-8 or cp1251)");

  QByteArray bytes;
  if (!readAll(path, bytes)) return fail("cannot read '" + path + "'");

  // The text view's plain text, one line per paragraph, ended with a newline.
  QString text = velanta::richtext::textViewPlainText(bytes);
  if (!text.isEmpty()) text.append(u'\n');
  QByteArray out;
  if (encoding == "cp1251") {
    QStringEncoder encoder("windows-1251");
    out = encoder.encode(text);
  } else {
    out = text.toUtf8();
  }
  std::fwrite(out.constData(), 1, std::size_t(out.size()), stdout);
  return std::fflush(stdout) == 0 ? 0 : fail("cannot write the output");
}

const velanta::tool::RegisterCommand registered("rtf2text", kUsage, rtf2text);

} // namespace
