#include <cstdlib>

#include <QApplication>
#include <gtest/gtest.h>

#include "log/SoundEnvironment.h"
#include "window/qt/Fonts.h"

// Window tests run on Qt's offscreen platform unless told otherwise.
int main(int argc, char** argv)
{
    prepareSoundEnvironment();
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    registerFontSubstitutes();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
