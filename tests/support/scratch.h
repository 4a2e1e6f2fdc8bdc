// A test fixture with a scratch folder of its own.
#pragma once
#include <gtest/gtest.h>
#include <string>
#include "support/programs.h"

// A test with a fresh scratch folder of its own, removed afterwards.
class ScratchFolderTest : public ::testing::Test {
protected:
    std::wstring dir;
    void SetUp() override
    {
        dir = make_scratch_dir(L"tarnvik-test");
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override { remove_tree(dir); }
};
