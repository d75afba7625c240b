// The main of the tests that make real network links: the whole test process first moves
// into a network namespace of its own, so nothing it makes is seen outside, and no traffic
// leaves it. Where that is not possible the tests skip, saying why.

#include "tests/support/NetnsTestMain.h"

#include "tests/support/TestEnvironment.h"
#include "tests/support/TunLink.h"

#ifdef PULO_TEST_WIDGETS
#include <QApplication>
#else
#include <QCoreApplication>
#endif

#include <gtest/gtest.h>

namespace pulo::test {

std::string NamespaceUnavailable;

} // namespace pulo::test

int main(int argc, char** argv)
{
    // Without a display too: the widget tests among these are listed and run offscreen.
    const pulo::test::TTestEnvironment environment;
    std::string reason;
    if (!pulo::test::EnterOwnNetworkNamespace(reason))
        pulo::test::NamespaceUnavailable = reason;
#ifdef PULO_TEST_WIDGETS
    QApplication application(argc, argv);
#else
    QCoreApplication application(argc, argv);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
