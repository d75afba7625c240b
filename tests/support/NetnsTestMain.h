#pragma once

#include <string>

namespace pulo::test {

// Why this test process could not get a network namespace of its own; empty when it did.
extern std::string NamespaceUnavailable;

#define PULO_NEEDS_NETWORK_NAMESPACE()                                                                                 \
    do {                                                                                                               \
        if (!::pulo::test::NamespaceUnavailable.empty())                                                               \
            GTEST_SKIP() << "skipped: " << ::pulo::test::NamespaceUnavailable;                                         \
    } while (false)

} // namespace pulo::test
