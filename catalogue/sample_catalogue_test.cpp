// The sample catalogue as the README's first command builds it (velanta-tool make-catalogue),
// opened the way the window opens it.
#include "catalogue/catalogue.h"

#include "toolkit/session.h"
#include "toolkit/table.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace catalogue {
namespace {

int runTool(const QStringList &arguments) {
  QProcess tool;
  tool.start(VELANTA_BINARY_DIR "/tools/velanta-tool", arguments);
  if (!tool.waitForFinished(60000)) return -1;
  return tool.exitCode();
}

TEST(SampleCatalogue, BuildsAndOpensWithTheProgramsPassword) {
  QTemporaryDir dir;
  ASSERT_EQ(runTool({"make-catalogue", VELANTA_SOURCE_DIR "/sample", dir.path()}), 0);
  const QString previous = QDir::currentPath();
  QDir::setCurrent(dir.path());
  toolkit::Session().removeAllPasswords();
  QObject owner;
  const Components c = createComponents(owner);
  openCatalogue(owner); // no dialog: a waiting dialog would hang here
  QDir::setCurrent(previous);

  toolkit::TField *tip = c.kinds->fieldByName(kKindField);
  toolkit::TField *name = c.documents->fieldByName(kNameField);
  toolkit::TField *text = c.documents->fieldByName(kTextField);
  EXPECT_EQ(c.kinds->recordCount(), 8);
  EXPECT_EQ(tip->asString(), "Купля-продажа"); // the kinds list's order, not sorted
  int documents = 0, empty = 0;
  bool longName = false;
  for (c.kinds->first(); !c.kinds->eof(); c.kinds->next()) {
    const int count = c.documents->recordCount();
    documents += count;
    empty += count == 0;
    for (c.documents->first(); !c.documents->eof(); c.documents->next()) {
      EXPECT_TRUE(text->asBytes().startsWith("{\\rtf1\\ansi\\ansicpg1251"))
          << name->asString().toStdString();
      longName |= name->asString().size() > 60;
      if (c.documents->recNo() == count) break;
    }
    if (c.kinds->recNo() == c.kinds->recordCount()) break;
  }
  EXPECT_EQ(documents, 30);
  EXPECT_EQ(empty, 1);
  EXPECT_TRUE(longName);

  // A second run keeps the catalogue (it may hold the user's changes).
  QFile::remove(dir.path() + "/base.px");
  EXPECT_EQ(runTool({"make-catalogue", VELANTA_SOURCE_DIR "/sample", dir.path()}), 0);
  EXPECT_FALSE(QFile::exists(dir.path() + "/base.px"));
}

} // namespace
} // namespace catalogue
