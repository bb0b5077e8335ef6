// Entry of the widget test binaries: the toolkit's application object on the offscreen
// platform at 96 dpi, set before it exists so that test discovery needs no display.
#include "toolkit/application.h"

#include <gtest/gtest.h>

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" VELANTA_SOURCE_DIR "/cmake/screen96.json");
  toolkit::TApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
