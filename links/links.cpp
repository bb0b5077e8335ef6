#include "links/links.h"

#include "toolkit/shell.h"

#include <QString>

namespace links {

void openAddress(QWidget *owner, const char *address) {
  // The shell's answer is not examined: a failure to open a page is the desktop's to tell.
  (void)toolkit::ShellExecute(owner, QStringLiteral("open"), QString::fromLatin1(address), {}, {},
                              toolkit::SW_SHOWNORMAL);
}

} // namespace links
