// Every class and named value that a form description may use.
#include "toolkit/class_registry.h"
#include "toolkit/control.h"
#include "toolkit/dialogs.h"
#include "toolkit/form.h"
#include "toolkit/label.h"
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
    registerComponent<TTable>(QStringLiteral("TTable"));
    registerComponent<TDataSource>(QStringLiteral("TDataSource"));
    registerComponent<TSaveDialog>(QStringLiteral("TSaveDialog"));
    registerComponent<TPrintDialog>(QStringLiteral("TPrintDialog"));
    return true;
  }();
  (void)done;
}

} // namespace toolkit
