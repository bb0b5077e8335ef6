// Entry of every Qt test binary: an application on the offscreen platform at 96 dpi,
// set before QApplication exists so that test discovery at build time needs no display.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" VELANTA_SOURCE_DIR "/cmake/screen96.json");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
