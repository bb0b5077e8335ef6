// The form description: a plain-text object tree naming every component of a window with
// its class, its properties, its children and the handlers of its events.
//
//   object Form1: TForm1            an object: name and class
//     Caption = 'Text'              string ('' inside stands for one quote), UTF-8
//     ClientWidth = 813             integer, also negative or $hex
//     Color = clBtnFace             identifier: a named constant, True/False, or a
//     DataSet = Table1                component of the form (resolved after all exist)
//     Font.Style = [fsBold]         set; a dotted name sets a property of a sub-object
//     OnClick = SpeedButton2Click   event: bound to the form's handler of that name
//     object Panel1: TPanel ... end children, in creation order
//   end
#pragma once

#include <QString>
#include <QStringList>

#include <variant>
#include <vector>

class QObject;

namespace toolkit {

struct FormIdentifier {
  QString name;
};
using FormValue = std::variant<qint64, QString, FormIdentifier, QStringList>;

struct FormProperty {
  QString name;
  FormValue value;
  int line = 0;
};

struct FormObject {
  QString name;
  QString className;
  int line = 0;
  std::vector<FormProperty> properties;
  std::vector<FormObject> children;
};

// Parses a description. Throws EFormError naming `fileName`, the line and the word.
FormObject parseForm(const QString &text, const QString &fileName);

// Builds the description into `root` (an object of the root's class): creates every
// child by class name, sets every property, resolves component references, binds every
// event to the root's handler of that name and stores each component in the root's
// property of the same name, if it has one. Throws EFormError for an unknown class,
// property, value, component or handler.
void buildForm(QObject *root, const FormObject &description, const QString &fileName);

// Reads the description from a file or resource and builds it into `root`.
void loadForm(QObject *root, const QString &path);

} // namespace toolkit
