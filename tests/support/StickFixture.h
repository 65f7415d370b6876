#pragma once
// The common ground of tests that open sticks: every prompt answered by script, and sticks built
// in a temporary folder that is removed (and the current directory restored) afterwards.
#include "StickBuilder.h"
#include "TempDir.h"
#include "app/CustomizationState.h"
#include "platform/Prompt.h"
#include "stick/StickPreparation.h"

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

    // Opens the stick at `root` as the user does, picking its memstick.ind in the dialog.
    bool Open(const StickBuilder& stick, const std::string& root, CustomizationState& state) {
        PromptScript::Clear();
        PromptScript::SetNextFileName(stick.HostPath(root, *stick.Options().memstickName));
        return OpenStick(state);
    }

    // The prompts shown, a letter each: M a message, Q a question, F the open-file dialog.
    static std::string Shown() {
        std::string kinds;
        for (const ShownPrompt& prompt : PromptScript::Shown()) {
            kinds += "MQF"[static_cast<int>(prompt.kind)];
        }
        return kinds;
    }

    TempDir m_dir;
};
