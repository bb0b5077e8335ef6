#include "toolkit/application.h"

#include "toolkit/class_registry.h"
#include "toolkit/error_box.h"
#include "toolkit/exceptions.h"
#include "toolkit/form.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QTranslator>

namespace toolkit {

namespace {
TApplication *theApplication = nullptr;

// Free look-alikes of the classic Windows UI fonts, with Cyrillic. Registered with the
// application directly: through fontconfig the bitmap strike without Cyrillic is chosen.
constexpr const char *kUiFonts[] = {"/usr/share/wine/fonts/ms_sans_serif.ttf",
                                    "/usr/share/wine/fonts/tahoma.ttf"};
} // namespace

TApplication *Application() { return theApplication; }

TApplication::TApplication(int &argc, char **argv)
    : QApplication(argc, argv),
      title_(titleFromExecutable(argc > 0 ? QString::fromLocal8Bit(argv[0]) : QString())) {
  theApplication = this;
  setApplicationName(title_);
  setQuitOnLastWindowClosed(true);
  loadTranslations();
  loadFonts();
  registerStandardClasses();
}

TApplication::~TApplication() {
  if (theApplication == this)
    theApplication = nullptr;
}

QString TApplication::titleFromExecutable(const QString &path) {
  const QString base = QFileInfo(path).fileName().section(u'.', 0, 0);
  return base.left(1) + base.mid(1).toLower();
}

void TApplication::loadTranslations() {
  auto *translator = new QTranslator(this);
  if (translator->load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    installTranslator(translator);
}

void TApplication::loadFonts() {
  for (const char *path : kUiFonts)
    if (QFileInfo::exists(QString::fromLatin1(path)))
      QFontDatabase::addApplicationFont(QString::fromLatin1(path));
}

void TApplication::showException(const Exception &failure) {
  showErrorBox(title_, errorBoxText(failure.message()));
}

void TApplication::handleException(std::exception_ptr failure, const QString &fallbackText) {
  try {
    std::rethrow_exception(failure);
  } catch (const EAbort &) {
  } catch (const Exception &e) {
    showException(e);
  } catch (...) {
    showException(Exception(fallbackText));
  }
}

int TApplication::run(TForm &mainForm) {
  mainForm.show();
  return exec();
}

bool TApplication::notify(QObject *receiver, QEvent *event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception &e) {
    if (dynamic_cast<const Exception *>(&e))
      handleException(std::current_exception());
    else
      handleException(std::current_exception(), QString::fromLocal8Bit(e.what()));
  } catch (...) {
    handleException(std::current_exception());
  }
  return true;
}

} // namespace toolkit
