// The main window: its controls and components come from Rudazu.form; the class holds the
// fields the description fills and the handlers it binds.
#pragma once

#include "toolkit/form.h"
#include "toolkit/label.h"
#include "toolkit/panel.h"
#include "toolkit/speed_button.h"

class TForm1 : public toolkit::TForm {
  Q_OBJECT
  Q_PROPERTY(toolkit::TPanel *Panel1 MEMBER Panel1)
  Q_PROPERTY(toolkit::TPanel *Panel3 MEMBER Panel3)
  Q_PROPERTY(toolkit::TLabel *Label5 MEMBER Label5)
  Q_PROPERTY(toolkit::TSpeedButton *SpeedButton1 MEMBER SpeedButton1)

public:
  static constexpr const char *kDescription = ":/ui/Rudazu.form";
  explicit TForm1(const QString &description = QString::fromLatin1(kDescription));

  toolkit::TPanel *Panel1 = nullptr;
  toolkit::TPanel *Panel3 = nullptr;
  toolkit::TLabel *Label5 = nullptr;
  toolkit::TSpeedButton *SpeedButton1 = nullptr;

public slots:
  void FormCreate(QObject *Sender);
  void SpeedButton1Click(QObject *Sender);
};
