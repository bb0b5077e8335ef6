#include "toolkit/password_dialog.h"

#include "toolkit/session.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace toolkit {

namespace {

// Shows every typed character as "*", whatever the platform style would draw.
class AsteriskStyle : public QProxyStyle {
public:
  int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                QStyleHintReturn *returnData) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return '*';
    if (hint == SH_LineEdit_PasswordMaskDelay) return 0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

} // namespace

TPasswordDialog::TPasswordDialog(TSession &session, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      session_(session) {
  setWindowTitle(QStringLiteral("Enter password"));
  setModal(true);

  auto *group = new QGroupBox(QStringLiteral("Password"), this);
  edit_ = new QLineEdit(group);
  edit_->setObjectName(QStringLiteral("passwordEdit"));
  edit_->setEchoMode(QLineEdit::Password);
  auto *style = new AsteriskStyle;
  style->setParent(edit_);
  edit_->setStyle(style);
  auto *groupLayout = new QVBoxLayout(group);
  groupLayout->addWidget(edit_);

  add_ = new QPushButton(QStringLiteral("&Add"), this);
  remove_ = new QPushButton(QStringLiteral("&Remove"), this);
  removeAll_ = new QPushButton(QStringLiteral("Re&move all"), this);
  ok_ = new QPushButton(QStringLiteral("&OK"), this);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  for (QPushButton *button : {add_, remove_, removeAll_, ok_, cancel_})
    button->setAutoDefault(false);
  ok_->setDefault(true);

  auto *listButtons = new QHBoxLayout;
  listButtons->addWidget(add_);
  listButtons->addWidget(remove_);
  listButtons->addWidget(removeAll_);
  auto *answerButtons = new QHBoxLayout;
  answerButtons->addStretch();
  answerButtons->addWidget(ok_);
  answerButtons->addWidget(cancel_);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addLayout(listButtons);
  layout->addLayout(answerButtons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(edit_, &QLineEdit::textChanged, this, &TPasswordDialog::updateButtons);
  connect(add_, &QPushButton::clicked, this, &TPasswordDialog::addTyped);
  connect(remove_, &QPushButton::clicked, this, &TPasswordDialog::removeTyped);
  connect(removeAll_, &QPushButton::clicked, this, &TPasswordDialog::removeAll);
  connect(ok_, &QPushButton::clicked, this, &TPasswordDialog::confirm);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject); // Esc rejects as well
  updateButtons();
  edit_->setFocus();
}

void TPasswordDialog::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  if (const QScreen *screen = QGuiApplication::primaryScreen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  edit_->setFocus();
}

void TPasswordDialog::addTyped() {
  session_.addPassword(edit_->text());
  added_ = true;
  refocus();
}

void TPasswordDialog::removeTyped() {
  session_.removePassword(edit_->text());
  refocus();
}

void TPasswordDialog::removeAll() {
  session_.removeAllPasswords();
  edit_->setFocus();
}

void TPasswordDialog::confirm() {
  if (!edit_->text().isEmpty()) session_.addPassword(edit_->text());
  accept();
}

void TPasswordDialog::updateButtons() {
  const bool typed = !edit_->text().isEmpty();
  add_->setEnabled(typed);
  remove_->setEnabled(typed);
  ok_->setEnabled(typed || added_);
}

void TPasswordDialog::refocus() {
  edit_->clear();
  updateButtons();
  edit_->setFocus();
}

} // namespace toolkit
