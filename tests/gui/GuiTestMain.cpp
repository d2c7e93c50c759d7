#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

#include "gui/QuillonApplication.h"

// The window tests run on the offscreen platform unless a display is chosen.
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QuillonApplication app(argc, argv);
  // The window keeps choices in the user's settings; the tests keep theirs apart.
  QTemporaryDir settings;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
