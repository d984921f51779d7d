#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

// A test that needs a real service (a JACK server, a display, xdotool) fails
// when the service is missing, so a green run always exercised it. A developer
// without the service may set SNARLBOX_TESTS_MAY_SKIP=1 to skip instead.
inline bool TestsMaySkip()
{
    const char* value = std::getenv("SNARLBOX_TESTS_MAY_SKIP");
    return value != nullptr && std::strcmp(value, "1") == 0;
}

// Use in a test body or SetUp; ends the test when the condition is false.
#define REQUIRE_SERVICE(condition, what)                                                                     \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            if (TestsMaySkip()) {                                                                            \
                GTEST_SKIP() << what;                                                                        \
            }                                                                                                \
            FAIL() << what << " (set SNARLBOX_TESTS_MAY_SKIP=1 to skip such tests on this machine)";         \
        }                                                                                                    \
    } while (false)
