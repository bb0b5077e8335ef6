// Every class and named value that a form description may use.
#include "toolkit/class_registry.h"
#include "toolkit/control.h"
#include "toolkit/db_ctrl_grid.h"
#include "toolkit/db_rich_edit.h"
#include "toolkit/db_text.h"
#include "toolkit/dialogs.h"
#include "toolkit/form.h"
#include "toolkit/image.h"
#include "toolkit/label.h"
#include "toolkit/page_control.h"
#include "toolkit/panel.h"
#include "toolkit/speed_button.h"
#include "toolkit/table.h"

namespace toolkit {

namespace {
void registerConstants() {
  const std::pair<const char *, qint64> constants[] = {
      {"clBtnFace", clBtnFace},
      {"clWindow", clWindow},
      {"clWindowText", clWindowText},
      {"clBtnHighlight", clBtnHighlight},
      {"clBtnShadow", clBtnShadow},
      {"clBlack", clBlack},
      {"clWhite", clWhite},
      {"clBlue", clBlue},
      {"clCream", clCream},
      {"alNone", alNone},
      {"alTop", alTop},
      {"alBottom", alBottom},
      {"alLeft", alLeft},
      {"alRight", alRight},
      {"alClient", alClient},
      {"crDefault", crDefault},
      {"crArrow", Qt::ArrowCursor},
      {"crHandPoint", Qt::PointingHandCursor},
      {"bsNone", bsNone},
      {"bsSingle", bsSingle},
      {"bsSizeable", bsSizeable},
      {"bsDialog", bsDialog},
      {"poDesigned", poDesigned},
      {"poScreenCenter", poScreenCenter},
      {"bvNone", bvNone},
      {"bvLowered", bvLowered},
      {"bvRaised", bvRaised},
      {"DEFAULT_CHARSET", 1},
      {"gbNone", gbNone},
      {"gbRaised", gbRaised},
      {"ssNone", ssNone},
      {"ssHorizontal", ssHorizontal},
      {"ssVertical", ssVertical},
      {"ssBoth", ssBoth},
      {"taLeftJustify", taLeftJustify},
      {"taRightJustify", taRightJustify},
      {"taCenter", taCenter},
      {"bkNone", bkNone},
      {"bkTile", bkTile},
      {"bkSoft", bkSoft},
      {"bkFlat", bkFlat},
  };
  for (const auto &[name, value] : constants)
    registerConstant(QString::fromLatin1(name), value);
}
} // namespace

void registerStandardClasses() {
  static const bool done = [] {
    registerConstants();
    registerControl<TPanel>(QStringLiteral("TPanel"));
    registerControl<TLabel>(QStringLiteral("TLabel"));
    registerControl<TSpeedButton>(QStringLiteral("TSpeedButton"));
    registerControl<TImage>(QStringLiteral("TImage"));
    registerControl<TPageControl>(QStringLiteral("TPageControl"));
    registerControl<TTabSheet>(QStringLiteral("TTabSheet"));
    registerControl<TDBText>(QStringLiteral("TDBText"));
    registerControl<TDBCtrlGrid>(QStringLiteral("TDBCtrlGrid"));
    registerControl<TDBRichEdit>(QStringLiteral("TDBRichEdit"));
    registerComponent<TTable>(QStringLiteral("TTable"));
    registerComponent<TDataSource>(QStringLiteral("TDataSource"));
    registerComponent<TSaveDialog>(QStringLiteral("TSaveDialog"));
    registerComponent<TPrintDialog>(QStringLiteral("TPrintDialog"));
    return true;
  }();
  (void)done;
}

} // namespace toolkit
