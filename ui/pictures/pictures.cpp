#include "ui/pictures/pictures.h"

namespace ui {

QString picturePath(Picture picture) {
  const auto file = [picture] {
    switch (picture) {
    case Picture::HeaderStrip:
      return "header.bmp";
    case Picture::WordGlyph:
      return "word.bmp";
    case Picture::NotepadGlyph:
      return "notepad.bmp";
    case Picture::PrintGlyph:
      return "print.bmp";
    case Picture::ExitGlyph:
      return "exit.bmp";
    case Picture::UpdateGlyph:
      return "update.bmp";
    case Picture::KindsStrip:
      return "kinds_strip.bmp";
    case Picture::KindIcon:
      return "kind_icon.bmp";
    case Picture::DocIcon:
      return "doc_icon.bmp";
    case Picture::SiteBanner:
      return "banner_site.jpg";
    case Picture::BanksBanner:
      return "banner_banks.jpg";
    }
    return "";
  }();
  return QStringLiteral(":/pictures/") + QLatin1String(file);
}

} // namespace ui
