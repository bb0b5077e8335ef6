#include "toolkit/exceptions.h"
#include "toolkit/form.h"
#include "toolkit/form_reader.h"
#include "toolkit/label.h"
#include "toolkit/panel.h"

#include <gtest/gtest.h>

class ReaderForm : public toolkit::TForm {
  Q_OBJECT
  Q_PROPERTY(toolkit::TPanel *Panel1 MEMBER Panel1)
  Q_PROPERTY(toolkit::TLabel *Label1 MEMBER Label1)

public:
  void build(const char *description) {
    toolkit::buildForm(this, toolkit::parseForm(QString::fromUtf8(description), QStringLiteral("t.form")),
                       QStringLiteral("t.form"));
  }
  toolkit::TPanel *Panel1 = nullptr;
  toolkit::TLabel *Label1 = nullptr;
  int created = 0;

public slots:
  void FormCreate(QObject *) { ++created; }
  void Label1Click(QObject *) {}
};

namespace {

TEST(FormReader, BuildsTheTreeSetsPropertiesAndFillsTheFields) {
  ReaderForm form;
  form.build(R"(object Form1: ReaderForm
  Caption = 'Окно ''один'''
  BorderWidth = 2
  ClientWidth = 300
  ClientHeight = 200
  Font.Height = -11
  OnCreate = FormCreate
  object Panel1: TPanel
    Left = 0
    Top = 0
    Width = 300
    Height = 40
    Align = alBottom
    Color = $00F0FBFF
    object Label1: TLabel
      Left = 8
      Top = 4
      Caption = 'Текст'
      OnClick = Label1Click
    end
  end
end
)");
  EXPECT_EQ(form.objectName(), u"Form1");
  EXPECT_EQ(form.windowTitle(), u"Окно 'один'");
  EXPECT_EQ(form.size(), QSize(304, 204));
  ASSERT_NE(form.Panel1, nullptr);
  ASSERT_NE(form.Label1, nullptr);
  EXPECT_EQ(form.Panel1->parentWidget(), form.clientArea());
  EXPECT_EQ(form.Panel1->geometry(), QRect(0, 160, 300, 40)); // aligned to the bottom
  EXPECT_EQ(form.Panel1->backgroundColor(), QColor(255, 251, 240));
  EXPECT_EQ(form.Label1->parentWidget(), form.Panel1);
  EXPECT_EQ(form.Label1->caption(), u"Текст");
  EXPECT_EQ(form.font().pixelSize(), 11);

  emit form.OnCreate(&form);
  EXPECT_EQ(form.created, 1);
}

struct BadCase {
  const char *name;
  const char *description;
  const char *message;
};

TEST(FormReader, NamesTheFileLineAndWordOfABadDescription) {
  const BadCase cases[] = {
      {"unknown class", "object Form1: ReaderForm\n  object X: TGadget\n  end\nend\n",
       "Описание формы t.form, строка 2: неизвестный класс «TGadget»"},
      {"unknown property", "object Form1: ReaderForm\n  Colour = clWhite\nend\n",
       "Описание формы t.form, строка 2: неизвестное свойство «Colour»"},
      {"unknown component",
       "object Form1: ReaderForm\n  object Panel1: TPanel\n  end\n  object Label1: TLabel\n"
       "    Font = Panel9\n  end\nend\n",
       "Описание формы t.form, строка 5: неизвестный компонент «Panel9»"},
      {"unknown handler", "object Form1: ReaderForm\n\n  OnCreate = FormDestroy\nend\n",
       "Описание формы t.form, строка 3: неизвестный обработчик «FormDestroy»"},
      {"unknown value", "object Form1: ReaderForm\n  Color = clMauve\nend\n",
       "Описание формы t.form, строка 2: неизвестное значение «clMauve»"},
      {"unclosed string", "object Form1: ReaderForm\n  Caption = 'abc\nend\n",
       "Описание формы t.form, строка 2: строка не закрыта"},
      {"wrong root class", "object Form1: TOtherForm\nend\n",
       "Описание формы t.form, строка 1: класс формы «TOtherForm» не совпадает с «ReaderForm»"},
  };
  for (const BadCase &c : cases) {
    ReaderForm form;
    try {
      form.build(c.description);
      ADD_FAILURE() << c.name << ": no failure";
    } catch (const toolkit::EFormError &e) {
      EXPECT_EQ(e.message(), QString::fromUtf8(c.message)) << c.name;
    }
  }
}

} // namespace

#include "form_reader_test.moc"
