// Every test executable runs inside a QApplication on Qt's offscreen platform, so widget
// tests need no display and nothing touches the user's desktop or home folder.

#include "tests/support/TestEnvironment.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    const pulo::test::TTestEnvironment environment;
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
