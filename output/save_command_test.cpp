// The save procedure through the real file dialog: what it proposes, and the file's bytes.
#include "output/save_command.h"
#include "output/testing/dialog_driving.h"
#include "output/text_export.h"
#include "toolkit/dialogs.h"
#include "toolkit/exceptions.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <sys/stat.h>

namespace {

using namespace output_testing;

QByteArray readAll(const QString &path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeAll(const QString &path, const QByteArray &bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

// What the dialog showed when the test answered it.
struct Shown {
  QString title;
  QString proposedName;
  QStringList filters;
  bool sizeGrip = false;
};

// One save through the dialog, typing `path` and confirming (and, for an existing file,
// confirming that it is to be replaced).
Shown saveTyping(const output::SaveCommand &command, const QString &name, const QString &extension,
                 const QString &text, const QString &path) {
  Shown shown;
  toolkit::TSaveDialog dialog;
  const auto answered = answerNext<QFileDialog>([&](QFileDialog *fileDialog) {
    shown = {fileDialog->windowTitle(), fileNameEdit(fileDialog)->text(), fileDialog->nameFilters(),
             fileDialog->isSizeGripEnabled()};
    if (QFileInfo::exists(path))
      answerNext<QMessageBox>(
          [](QMessageBox *question) { pressButton(question, QMessageBox::Yes); });
    typePathAndConfirm(fileDialog, path);
  });
  output::saveAsText(command, name, extension, text, dialog);
  EXPECT_TRUE(*answered);
  return shown;
}

// The files a folder holds (temporary files left behind would show here).
QStringList entries(const QString &folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

TEST(SaveAsText, WritesTheTextBetweenTwoLineBreaksInCodePage1251) {
  struct Case {
    const char *what;
    QString text;
    QByteArray bytes;
  };
  const Case cases[] = {
      {"empty text", QString(), QByteArray("\r\n\r\n")},
      {"LF", QStringLiteral("a\nb"), QByteArray("\r\na\r\nb\r\n")},
      {"CR LF stays one line break", QStringLiteral("a\r\nb"), QByteArray("\r\na\r\nb\r\n")},
      {"empty lines", QStringLiteral("a\n\n\nb\n"), QByteArray("\r\na\r\n\r\n\r\nb\r\n\r\n")},
      {"lone CR kept", QStringLiteral("a\rb"), QByteArray("\r\na\rb\r\n")},
      {"percent signs literally", QStringLiteral("%s %d %% %n"), QByteArray("\r\n%s %d %% %n\r\n")},
      {"Cyrillic", QStringLiteral("Договор № 5\nЁлка ёж"),
       QByteArray("\r\n\xc4\xee\xe3\xee\xe2\xee\xf0 \xb9 5\r\n\xa8\xeb\xea\xe0 \xb8\xe6\r\n")},
      {"outside 1251", QStringLiteral("a→b \U0001F600 c"), QByteArray("\r\na?b ? c\r\n")},
      {"tab and NUL kept", QStringLiteral("a\tb") + QChar(u'\0') + u'c',
       QByteArray("\r\na\tb\0c\r\n", 9)},
  };
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  int n = 0;
  for (const Case &c : cases) {
    const QString path = folder.filePath(QStringLiteral("case%1.doc").arg(++n));
    saveTyping(output::kSaveForWord, QStringLiteral("x"), QStringLiteral(".doc"), c.text, path);
    EXPECT_EQ(readAll(path), c.bytes) << c.what;
  }
}

TEST(SaveAsText, BothCommandsWriteTheSameBytesAndDifferOnlyInTheirConstants) {
  QTemporaryDir folder;
  const QString text = QStringLiteral("Первая строка\nSecond line");
  const Shown word =
      saveTyping(output::kSaveForWord, QStringLiteral("Договор аренды"), QStringLiteral(".doc"),
                 text, folder.filePath(QStringLiteral("w.doc")));
  const Shown notepad =
      saveTyping(output::kSaveForNotepad, QStringLiteral("Договор аренды"), QStringLiteral(".txt"),
                 text, folder.filePath(QStringLiteral("n.txt")));
  EXPECT_EQ(readAll(folder.filePath(QStringLiteral("w.doc"))),
            readAll(folder.filePath(QStringLiteral("n.txt"))));

  EXPECT_EQ(word.proposedName, u"Договор аренды.doc");
  EXPECT_EQ(notepad.proposedName, u"Договор аренды.txt");
  EXPECT_EQ(word.filters, QStringList{QStringLiteral("*.doc")});
  EXPECT_EQ(notepad.filters, QStringList{QStringLiteral("*.txt")});
  EXPECT_EQ(word.title, QString::fromUtf16(output::kSaveDialogTitle));
  EXPECT_EQ(notepad.title, word.title);
  EXPECT_TRUE(word.sizeGrip);
}

TEST(SaveAsText, TheExtensionComesFromTheCallerAtEveryRunAndTheFilterFromTheCommand) {
  QTemporaryDir folder;
  const Shown shown =
      saveTyping(output::kSaveForWord, QStringLiteral("Устав"), QStringLiteral(".rtf"), QString(),
                 folder.filePath(QStringLiteral("u")));
  EXPECT_EQ(shown.proposedName, u"Устав.rtf");
  EXPECT_EQ(shown.filters, QStringList{QStringLiteral("*.doc")});
  // Typed without an extension: saved without one (no default extension).
  EXPECT_EQ(entries(folder.path()), QStringList{QStringLiteral("u")});
}

TEST(SaveAsText, WithNoCurrentDocumentProposesTheExtensionAloneAndWritesFourBytes) {
  QTemporaryDir folder;
  const Shown shown = saveTyping(output::kSaveForNotepad, QString(), QStringLiteral(".txt"),
                                 QString(), folder.filePath(QStringLiteral("empty.txt")));
  EXPECT_EQ(shown.proposedName, u".txt");
  EXPECT_EQ(readAll(folder.filePath(QStringLiteral("empty.txt"))), QByteArray("\r\n\r\n"));
}

TEST(SaveAsText, ALongCyrillicNameKeepsItsExtensionAndIsSavedUnderIt) {
  QTemporaryDir folder;
  const QString name(300, QChar(u'Ж'));
  toolkit::TSaveDialog dialog;
  QString proposed, kept;
  const auto answered = answerNext<QFileDialog>([&](QFileDialog *fileDialog) {
    QLineEdit *edit = fileNameEdit(fileDialog);
    proposed = edit->text();
    fileDialog->setDirectory(folder.path()); // the user goes to the folder
    kept = edit->text();
    QApplication::setActiveWindow(fileDialog);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return); // and takes the proposal
  });
  output::saveAsText(output::kSaveForWord, name, QStringLiteral(".doc"), QStringLiteral("x"),
                     dialog);
  ASSERT_TRUE(*answered);
  EXPECT_EQ(kept, proposed);

  EXPECT_TRUE(proposed.endsWith(u".doc"));
  EXPECT_TRUE(name.startsWith(proposed.chopped(4)));
  EXPECT_EQ(QFile::encodeName(proposed).size(), 254); // 127 letters of two bytes, and ".doc"
  EXPECT_EQ(entries(folder.path()), QStringList{proposed});
  EXPECT_EQ(readAll(folder.filePath(proposed)), QByteArray("\r\nx\r\n"));
}

TEST(ProposedFileName, ReplacesWhatCannotStandInANameAndCutsTheNameNotTheExtension) {
  struct Case {
    QString name;
    QString proposal;
  };
  const QString emoji = QStringLiteral("\U0001F600"); // four bytes, two UTF-16 units
  const Case cases[] = {
      {QStringLiteral("Договор купли/продажи"), QStringLiteral("Договор купли_продажи.doc")},
      {QStringLiteral("a") + QChar(u'\0') + u'b', QStringLiteral("a_b.doc")},
      {QStringLiteral("  .. %s *?:<>\\ "), QStringLiteral("  .. %s *?:<>\\ .doc")},
      {QString(251, u'a'), QString(251, u'a') + QStringLiteral(".doc")},
      {QString(252, u'a'), QString(251, u'a') + QStringLiteral(".doc")},
      // 62 four-byte characters take 248 bytes; the 63rd would need 252: not split.
      {emoji.repeated(100), emoji.repeated(62) + QStringLiteral(".doc")},
      {QString(130, u'я'), QString(125, u'я') + QStringLiteral(".doc")},
  };
  for (const Case &c : cases)
    EXPECT_EQ(output::proposedFileName(c.name, QStringLiteral(".doc")), c.proposal)
        << c.name.toStdString();
}

TEST(SaveAsText, CancelTouchesNothing) {
  QTemporaryDir folder;
  const QString path = folder.filePath(QStringLiteral("kept.doc"));
  writeAll(path, "old content");
  toolkit::TSaveDialog dialog;
  const auto answered = answerNext<QFileDialog>([&](QFileDialog *fileDialog) {
    fileNameEdit(fileDialog)->setText(path);
    fileDialog->reject();
  });
  output::saveAsText(output::kSaveForWord, QStringLiteral("kept"), QStringLiteral(".doc"),
                     QStringLiteral("new"), dialog);
  EXPECT_TRUE(*answered);
  EXPECT_EQ(readAll(path), QByteArray("old content"));
  EXPECT_EQ(entries(folder.path()), QStringList{QStringLiteral("kept.doc")});
}

// Saves onto an existing file, answering the dialog's overwrite question.
void saveOntoExisting(const QString &path, QMessageBox::StandardButton answer, bool *asked) {
  toolkit::TSaveDialog dialog;
  QPointer<QFileDialog> fileDialog;
  answerNext<QFileDialog>([&](QFileDialog *shown) {
    fileDialog = shown;
    answerNext<QMessageBox>([&, answer](QMessageBox *question) {
      *asked = true;
      pressButton(question, answer);
      // Declined: the file dialog stays open for another name; the user then cancels.
      if (answer == QMessageBox::No && fileDialog)
        QTimer::singleShot(0, fileDialog, [&] { fileDialog->reject(); });
    });
    typePathAndConfirm(shown, path);
  });
  output::saveAsText(output::kSaveForWord, QStringLiteral("x"), QStringLiteral(".doc"),
                     QStringLiteral("short"), dialog);
}

TEST(SaveAsText, AnExistingLongerFileIsReplacedWholeAfterConfirming) {
  QTemporaryDir folder;
  const QString path = folder.filePath(QStringLiteral("old.doc"));
  writeAll(path, QByteArray(5000, 'z'));
  ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
  bool asked = false;
  saveOntoExisting(path, QMessageBox::Yes, &asked);
  EXPECT_TRUE(asked);
  EXPECT_EQ(readAll(path), QByteArray("\r\nshort\r\n"));
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u) << "the replaced file keeps its permissions";
  EXPECT_EQ(entries(folder.path()), QStringList{QStringLiteral("old.doc")});
}

TEST(SaveAsText, AnExistingFileIsKeptWhenReplacingItIsDeclined) {
  QTemporaryDir folder;
  const QString path = folder.filePath(QStringLiteral("old.doc"));
  writeAll(path, "keep me");
  bool asked = false;
  saveOntoExisting(path, QMessageBox::No, &asked);
  EXPECT_TRUE(asked);
  EXPECT_EQ(readAll(path), QByteArray("keep me"));
}

TEST(SaveAsText, ASymbolicLinkIsWrittenThroughAndStaysALink) {
  QTemporaryDir folder;
  const QString target = folder.filePath(QStringLiteral("real.txt"));
  const QString link = folder.filePath(QStringLiteral("link.txt"));
  writeAll(target, "old");
  ASSERT_TRUE(QFile::link(target, link));
  output::replaceFileContent(link, "new");
  EXPECT_TRUE(QFileInfo(link).isSymLink());
  EXPECT_EQ(readAll(target), QByteArray("new"));
}

// A save that cannot be done: the failure names the path and the reason, in Russian, and
// whatever was there is left as it was.
TEST(SaveAsText, AFailedSaveIsReportedAndLeavesTheOldFileIntact) {
  QTemporaryDir folder;
  const QString readOnly = folder.filePath(QStringLiteral("readonly.doc"));
  writeAll(readOnly, "precious");
  ASSERT_EQ(::chmod(QFile::encodeName(readOnly).constData(), 0444), 0);
  const QString missing = folder.filePath(QStringLiteral("no such folder/x.doc"));
  const QString directory = folder.filePath(QStringLiteral("sub"));
  ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("sub")));

  const std::pair<QString, QString> cases[] = {
      {missing, QStringLiteral("папка не существует")},
      {readOnly, QStringLiteral("файл доступен только для чтения")},
  };
  for (const auto &[path, reason] : cases) {
    QString message;
    try {
      saveTyping(output::kSaveForWord, QStringLiteral("x"), QStringLiteral(".doc"),
                 QStringLiteral("new"), path);
      ADD_FAILURE() << "no failure for " << path.toStdString();
    } catch (const toolkit::Exception &e) {
      message = e.message();
    }
    EXPECT_EQ(message, QStringLiteral("Не удалось сохранить файл \"%1\": %2").arg(path, reason));
  }
  EXPECT_EQ(readAll(readOnly), QByteArray("precious"));
  EXPECT_EQ(entries(folder.path()), QStringList{QStringLiteral("readonly.doc")});

  // Onto a folder, or under a name the file system refuses (200 Cyrillic letters are 400
  // bytes): refused with the reason, nothing created.
  const std::pair<QString, QString> refused[] = {
      {directory, QStringLiteral("под этим именем уже есть папка")},
      {folder.filePath(QString(200, u'ж') + QStringLiteral(".doc")),
       QStringLiteral("слишком длинное имя файла")},
  };
  for (const auto &[path, reason] : refused) {
    QString message;
    try {
      output::replaceFileContent(path, "x");
    } catch (const toolkit::Exception &e) {
      message = e.message();
    }
    EXPECT_EQ(message, QStringLiteral("Не удалось сохранить файл \"%1\": %2").arg(path, reason));
  }
  EXPECT_TRUE(QFileInfo(directory).isDir());
  EXPECT_EQ(entries(folder.path()), QStringList{QStringLiteral("readonly.doc")});
}

// A full disk: a small file system of its own (tmpfs, mounted by the test; skipped where
// mounting is not allowed).
TEST(SaveAsText, AFullDiskIsReportedAndTheOldFileKeepsItsContent) {
  QTemporaryDir folder;
  const QString disk = folder.filePath(QStringLiteral("small"));
  ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("small")));
  const QByteArray diskName = QFile::encodeName(disk);
  if (::mount("tmpfs", diskName.constData(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "cannot mount a small file system here: " << std::strerror(errno);
  struct Unmount {
    QByteArray path;
    ~Unmount() { ::umount(path.constData()); }
  } unmount{diskName};

  const QString path = disk + QStringLiteral("/old.doc");
  writeAll(path, "old content");
  const QString big(300000, u'я');
  QString message;
  try {
    output::replaceFileContent(path, output::exportedTextBytes(big));
  } catch (const toolkit::Exception &e) {
    message = e.message();
  }
  EXPECT_EQ(message,
            QStringLiteral("Не удалось сохранить файл \"%1\": на диске нет места").arg(path));
  EXPECT_EQ(readAll(path), QByteArray("old content"));
  EXPECT_EQ(entries(disk), QStringList{QStringLiteral("old.doc")});
}

} // namespace
