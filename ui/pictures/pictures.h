// The main window's eleven pictures, embedded as Qt resources under ":/pictures/".
// They are drawn by tools/make_pictures.cpp (velanta-make-pictures), which also lists what
// each one shows; regenerate them with that tool rather than editing the files.
#pragma once

#include <QString>

namespace ui {

enum class Picture {
  HeaderStrip,  // Image4: the header's blue band, 800 x 50
  WordGlyph,    // SpeedButton2: "править в Word", 121 x 50
  NotepadGlyph, // SpeedButton3: "править в Блокнот", 131 x 50
  PrintGlyph,   // SpeedButton4: "Печать", 67 x 50
  ExitGlyph,    // SpeedButton1: "Выход", 81 x 50
  UpdateGlyph,  // SpeedButton5: "Обновление", 86 x 50
  KindsStrip,   // Image2: arrow and "Виды договоров", 270 x 25
  KindIcon,     // Image1: kinds row icon, 16 x 16
  DocIcon,      // Image3: documents row icon, 16 x 16
  SiteBanner,   // Image5: the product's site, JPEG 100 x 300
  BanksBanner,  // Image6: the partner site about banks, JPEG 100 x 300
};

// Resource path of a picture, e.g. ":/pictures/header.bmp".
QString picturePath(Picture picture);

} // namespace ui
