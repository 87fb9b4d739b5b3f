// The error tests run on the main task of a task manager with the error layer brought up.
#pragma once

#include "errors/VErrorBase.h"
#include "runtime/VTaskMgr.h"

#include <gtest/gtest.h>

namespace vkit::testing {

class ErrorsTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(VTaskMgr::Init());
        VErrorBase::Init();
    }
};

} // namespace vkit::testing
