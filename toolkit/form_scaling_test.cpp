// A window designed at 96 dpi on a screen of another resolution: the window's font is
// scaled by the resolution, then every position, size and font by the ratio of that
// font's text height to 13; pictures keep their pixel size.
#include "toolkit/db_ctrl_grid.h"
#include "toolkit/form.h"
#include "toolkit/form_reader.h"
#include "toolkit/image.h"
#include "toolkit/panel.h"

#include <QFontMetrics>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class ScaledForm : public toolkit::TForm {
  Q_OBJECT

public:
  // Builds the description with a 16 x 16 picture of its own.
  void build(const char *description) {
    QImage picture(16, 16, QImage::Format_RGB888);
    picture.fill(Qt::white);
    const QString path = dir_.filePath(QStringLiteral("p.bmp"));
    picture.save(path);
    const QString text = QString::fromUtf8(description).arg(path);
    toolkit::buildForm(this, toolkit::parseForm(text, QStringLiteral("s.form")),
                       QStringLiteral("s.form"));
  }

private:
  QTemporaryDir dir_;
};

constexpr const char *kDescription = R"(object Form1: ScaledForm
  BorderStyle = bsDialog
  ClientWidth = 400
  ClientHeight = 300
  Font.Name = 'DejaVu Sans'
  Font.Height = -11
  object Panel1: TPanel
    Left = 0
    Top = 0
    Width = 400
    Height = 52
    Align = alTop
    object Image1: TImage
      Left = 10
      Top = 1
      Width = 50
      Height = 40
      Picture = '%1'
    end
  end
  object Panel2: TPanel
    Left = 20
    Top = 100
    Width = 130
    Height = 60
    Font.Height = -13
  end
  object DBCtrlGrid1: TDBCtrlGrid
    Left = 200
    Top = 100
    Width = 170
    Height = 75
    PanelWidth = 153
    PanelHeight = 25
    RowCount = 3
  end
end
)";

TEST(FormScaling, ADifferentResolutionScalesByTheTextHeightOfTheScaledFont) {
  ScaledForm form;
  form.build(kDescription);
  QFont scaledFont(QStringLiteral("DejaVu Sans"));
  scaledFont.setPixelSize(qRound(11 * 144 / 96.0));
  const int m = QFontMetrics(scaledFont).height();
  ASSERT_NE(m, 13);
  const auto scale = [m](int v) { return qRound(double(v) * m / 13); };

  EXPECT_EQ(form.scaleToScreen(144), std::make_pair(m, 13));
  EXPECT_EQ(form.font().pixelSize(), 17);
  EXPECT_EQ(form.clientWidth(), scale(400));
  EXPECT_EQ(form.clientHeight(), scale(300));
  auto *panel1 = form.findChild<toolkit::TPanel *>(QStringLiteral("Panel1"));
  auto *panel2 = form.findChild<toolkit::TPanel *>(QStringLiteral("Panel2"));
  auto *image = form.findChild<toolkit::TImage *>(QStringLiteral("Image1"));
  auto *grid = form.findChild<toolkit::TDBCtrlGrid *>(QStringLiteral("DBCtrlGrid1"));
  EXPECT_EQ(panel1->geometry(), QRect(0, 0, scale(400), scale(52))); // aligned: full width
  EXPECT_EQ(panel2->geometry(), QRect(scale(20), scale(100), scale(130), scale(60)));
  EXPECT_EQ(panel2->font().pixelSize(), scale(13));
  EXPECT_EQ(image->geometry(), QRect(scale(10), scale(1), scale(50), scale(40)));
  EXPECT_EQ(image->picture().size(), QSize(16, 16)); // the picture keeps its pixels
  EXPECT_EQ(grid->panelHeight(), scale(25));
  EXPECT_EQ(grid->panelWidth(), scale(153));
}

TEST(FormScaling, At96DpiNothingChanges) {
  ScaledForm form;
  form.build(kDescription);
  EXPECT_EQ(form.scaleToScreen(96), std::make_pair(1, 1));
  EXPECT_EQ(form.clientWidth(), 400);
  EXPECT_EQ(form.font().pixelSize(), 11);
}

} // namespace

#include "form_scaling_test.moc"
