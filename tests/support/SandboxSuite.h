#pragma once

#include "support/SandboxFixture.h"

#include <gtest/gtest.h>

// A test suite against one real sandbox. The suite's SetUpTestSuite calls startSandbox();
// each test's SetUp asserts useSandbox(), which points the engine at the sandbox with no
// faults, and its TearDown calls leaveSandbox().
class SandboxSuite : public ::testing::Test
{
protected:
    static void startSandbox(int users);
    static void TearDownTestSuite();

    // False when the sandbox did not start or its faults could not be cleared.
    [[nodiscard]] static bool useSandbox();
    static void leaveSandbox();

    static inline SandboxFixture *sandbox = nullptr;
    static inline bool started = false;
};
