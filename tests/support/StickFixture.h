#pragma once
// The common ground of tests that open sticks: every prompt answered by script, and sticks built
// in a temporary folder that is removed (and the current directory restored) afterwards.
#include "StickBuilder.h"
#include "TempDir.h"
#include "platform/Prompt.h"

#include <gtest/gtest.h>

class StickFixture : public ::testing::Test {
protected:
    void SetUp() override { PromptScript::Activate(); }
    void TearDown() override { PromptScript::Deactivate(); }

    std::string Build(const StickBuilder& stick, const std::string& name = "stick") {
        std::string root = m_dir / name;
        EXPECT_TRUE(stick.Build(root));
        return root;
    }

    TempDir m_dir;
};
