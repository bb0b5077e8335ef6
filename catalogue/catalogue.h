// Opening the document catalogue: the table password for the session, then the documents
// table `Table1`, then the kinds table `Table2`, whose opening links the two.
#pragma once

#include "catalogue/catalogue_files.h"

class QObject;

namespace toolkit {
class TDataSource;
class TTable;
} // namespace toolkit

namespace catalogue {

// The four components as the main window's description declares them.
inline constexpr char kDocumentsTable[] = "Table1";
inline constexpr char kDocumentsSource[] = "DataSource1";
inline constexpr char kKindsTable[] = "Table2";
inline constexpr char kKindsSource[] = "DataSource2";

struct Components {
  toolkit::TDataSource *documentsSource = nullptr; // DataSource1
  toolkit::TTable *documents = nullptr;            // Table1
  toolkit::TDataSource *kindsSource = nullptr;     // DataSource2
  toolkit::TTable *kinds = nullptr;                // Table2
};

// Creates the four components under `owner` in the window's order (DataSource1, Table1,
// DataSource2, Table2) with the catalogue's settings; every other setting keeps its default.
Components createComponents(QObject &owner);

// The window's components found by name (null where one is missing).
Components findComponents(const QObject &form);

// The first three steps of the main window's creation, in order: add the table password
// to the default session (starting it), open Table1, open Table2. A failure throws and
// leaves the later steps undone: the caller's catch point shows it.
void openCatalogue(const Components &components);
void openCatalogue(const QObject &form);

} // namespace catalogue
