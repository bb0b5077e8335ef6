// The main window: its controls and components come from Rudazu.form; the class holds the
// fields the description fills and the handlers it binds.
#pragma once

#include "toolkit/data_set.h"
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

class TForm1 : public toolkit::TForm {
  Q_OBJECT
  Q_PROPERTY(toolkit::TDataSource *DataSource1 MEMBER DataSource1)
  Q_PROPERTY(toolkit::TTable *Table1 MEMBER Table1)
  Q_PROPERTY(toolkit::TPanel *Panel1 MEMBER Panel1)
  Q_PROPERTY(toolkit::TPanel *Panel2 MEMBER Panel2)
  Q_PROPERTY(toolkit::TPanel *Panel4 MEMBER Panel4)
  Q_PROPERTY(toolkit::TDBRichEdit *DBRichEdit1 MEMBER DBRichEdit1)
  Q_PROPERTY(toolkit::TDataSource *DataSource2 MEMBER DataSource2)
  Q_PROPERTY(toolkit::TTable *Table2 MEMBER Table2)
  Q_PROPERTY(toolkit::TPageControl *PageControl1 MEMBER PageControl1)
  Q_PROPERTY(toolkit::TTabSheet *TabSheet1 MEMBER TabSheet1)
  Q_PROPERTY(toolkit::TPanel *Panel3 MEMBER Panel3)
  Q_PROPERTY(toolkit::TDBCtrlGrid *DBCtrlGrid1 MEMBER DBCtrlGrid1)
  Q_PROPERTY(toolkit::TDBText *DBText2 MEMBER DBText2)
  Q_PROPERTY(toolkit::TImage *Image1 MEMBER Image1)
  Q_PROPERTY(toolkit::TImage *Image2 MEMBER Image2)
  Q_PROPERTY(toolkit::TDBCtrlGrid *DBCtrlGrid2 MEMBER DBCtrlGrid2)
  Q_PROPERTY(toolkit::TDBText *DBText3 MEMBER DBText3)
  Q_PROPERTY(toolkit::TImage *Image3 MEMBER Image3)
  Q_PROPERTY(toolkit::TImage *Image4 MEMBER Image4)
  Q_PROPERTY(toolkit::TSaveDialog *SaveDialog1 MEMBER SaveDialog1)
  Q_PROPERTY(toolkit::TSpeedButton *SpeedButton2 MEMBER SpeedButton2)
  Q_PROPERTY(toolkit::TSpeedButton *SpeedButton3 MEMBER SpeedButton3)
  Q_PROPERTY(toolkit::TDBRichEdit *DBRichEdit2 MEMBER DBRichEdit2)
  Q_PROPERTY(toolkit::TLabel *Label1 MEMBER Label1)
  Q_PROPERTY(toolkit::TLabel *Label2 MEMBER Label2)
  Q_PROPERTY(toolkit::TPrintDialog *PrintDialog1 MEMBER PrintDialog1)
  Q_PROPERTY(toolkit::TSpeedButton *SpeedButton4 MEMBER SpeedButton4)
  Q_PROPERTY(toolkit::TLabel *Label3 MEMBER Label3)
  Q_PROPERTY(toolkit::TLabel *Label4 MEMBER Label4)
  Q_PROPERTY(toolkit::TImage *Image5 MEMBER Image5)
  Q_PROPERTY(toolkit::TImage *Image6 MEMBER Image6)
  Q_PROPERTY(toolkit::TLabel *Label5 MEMBER Label5)
  Q_PROPERTY(toolkit::TSpeedButton *SpeedButton1 MEMBER SpeedButton1)
  Q_PROPERTY(toolkit::TSpeedButton *SpeedButton5 MEMBER SpeedButton5)

public:
  static constexpr const char *kDescription = ":/ui/Rudazu.form";
  explicit TForm1(const QString &description = QString::fromLatin1(kDescription));

  toolkit::TDataSource *DataSource1 = nullptr;
  toolkit::TTable *Table1 = nullptr;
  toolkit::TPanel *Panel1 = nullptr;
  toolkit::TPanel *Panel2 = nullptr;
  toolkit::TPanel *Panel4 = nullptr;
  toolkit::TDBRichEdit *DBRichEdit1 = nullptr;
  toolkit::TDataSource *DataSource2 = nullptr;
  toolkit::TTable *Table2 = nullptr;
  toolkit::TPageControl *PageControl1 = nullptr;
  toolkit::TTabSheet *TabSheet1 = nullptr;
  toolkit::TPanel *Panel3 = nullptr;
  toolkit::TDBCtrlGrid *DBCtrlGrid1 = nullptr;
  toolkit::TDBText *DBText2 = nullptr;
  toolkit::TImage *Image1 = nullptr;
  toolkit::TImage *Image2 = nullptr;
  toolkit::TDBCtrlGrid *DBCtrlGrid2 = nullptr;
  toolkit::TDBText *DBText3 = nullptr;
  toolkit::TImage *Image3 = nullptr;
  toolkit::TImage *Image4 = nullptr;
  toolkit::TSaveDialog *SaveDialog1 = nullptr;
  toolkit::TSpeedButton *SpeedButton2 = nullptr;
  toolkit::TSpeedButton *SpeedButton3 = nullptr;
  toolkit::TDBRichEdit *DBRichEdit2 = nullptr;
  toolkit::TLabel *Label1 = nullptr;
  toolkit::TLabel *Label2 = nullptr;
  toolkit::TPrintDialog *PrintDialog1 = nullptr;
  toolkit::TSpeedButton *SpeedButton4 = nullptr;
  toolkit::TLabel *Label3 = nullptr;
  toolkit::TLabel *Label4 = nullptr;
  toolkit::TImage *Image5 = nullptr;
  toolkit::TImage *Image6 = nullptr;
  toolkit::TLabel *Label5 = nullptr;
  toolkit::TSpeedButton *SpeedButton1 = nullptr;
  toolkit::TSpeedButton *SpeedButton5 = nullptr;

protected:
  // Closing the window first stores a title typed but not yet stored, as leaving the
  // record would; when storing fails the error box says why and the window stays open.
  void closeEvent(QCloseEvent *event) override;

public slots:
  void SpeedButton2Click(QObject *Sender);
  void SpeedButton3Click(QObject *Sender);
  void SpeedButton4Click(QObject *Sender);
  void FormCreate(QObject *Sender);
  void Label4Click(QObject *Sender);
  void Image5Click(QObject *Sender);
  void Image6Click(QObject *Sender);
  void SpeedButton1Click(QObject *Sender);
  void SpeedButton5Click(QObject *Sender);
};
