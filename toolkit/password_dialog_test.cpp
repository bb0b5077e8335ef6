// The session's password dialog: which buttons are enabled when, and what each does to the
// session's password list.
#include "toolkit/password_dialog.h"

#include "toolkit/session.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace toolkit {
namespace {

QPushButton *button(QDialog &dialog, const QString &text) {
  for (QPushButton *b : dialog.findChildren<QPushButton *>())
    if (b->text() == text) return b;
  return nullptr;
}

class PasswordDialogTest : public ::testing::Test {
protected:
  void SetUp() override {
    Session().removeAllPasswords();
    Session().addPassword("Tavirek4806");
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  }
  void type(const QString &text) { QTest::keyClicks(dialog.passwordEdit(), text); }
  TPasswordDialog dialog{Session()};
};

TEST_F(PasswordDialogTest, OpensWithTheEditFocusedAndOnlyTheListButtonsThatNeedNoText) {
  EXPECT_EQ(dialog.windowTitle(), "Enter password");
  EXPECT_TRUE(dialog.passwordEdit()->hasFocus());
  EXPECT_EQ(dialog.passwordEdit()->echoMode(), QLineEdit::Password);
  EXPECT_FALSE(button(dialog, "&Add")->isEnabled());
  EXPECT_FALSE(button(dialog, "&Remove")->isEnabled());
  EXPECT_TRUE(button(dialog, "Re&move all")->isEnabled());
  EXPECT_FALSE(button(dialog, "&OK")->isEnabled());
  EXPECT_TRUE(button(dialog, "&OK")->isDefault());
  type("abc");
  EXPECT_TRUE(button(dialog, "&Add")->isEnabled());
  EXPECT_TRUE(button(dialog, "&Remove")->isEnabled());
  EXPECT_TRUE(button(dialog, "&OK")->isEnabled());
}

TEST_F(PasswordDialogTest, AddKeepsOkEnabledAndRemoveTakesThePasswordOut) {
  type("first");
  QTest::mouseClick(button(dialog, "&Add"), Qt::LeftButton);
  EXPECT_TRUE(Session().passwords().contains("first"));
  EXPECT_TRUE(dialog.passwordEdit()->text().isEmpty());
  EXPECT_TRUE(dialog.passwordEdit()->hasFocus());
  EXPECT_FALSE(button(dialog, "&Add")->isEnabled());
  EXPECT_TRUE(button(dialog, "&OK")->isEnabled()); // once Add has been used

  type("first");
  QTest::mouseClick(button(dialog, "&Remove"), Qt::LeftButton);
  EXPECT_FALSE(Session().passwords().contains("first"));
  EXPECT_TRUE(dialog.passwordEdit()->text().isEmpty());
}

TEST_F(PasswordDialogTest, RemoveAllEmptiesTheListWithTheProgramsOwnPassword) {
  QTest::mouseClick(button(dialog, "Re&move all"), Qt::LeftButton);
  EXPECT_TRUE(Session().passwords().isEmpty());
  EXPECT_TRUE(dialog.passwordEdit()->hasFocus());
}

TEST_F(PasswordDialogTest, ReturnConfirmsWithTheTypedPasswordAndEscCancels) {
  type("typed");
  QTest::keyClick(dialog.passwordEdit(), Qt::Key_Return);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_TRUE(Session().passwords().contains("typed"));

  TPasswordDialog second(Session());
  second.show();
  QTest::keyClicks(second.passwordEdit(), "ignored");
  QTest::keyClick(&second, Qt::Key_Escape);
  EXPECT_EQ(second.result(), QDialog::Rejected);
  EXPECT_FALSE(Session().passwords().contains("ignored"));
}

} // namespace
} // namespace toolkit
