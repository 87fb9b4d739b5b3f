// The task manager for the runtime tests: started once on the test program's main thread.
#include "runtime/VTaskMgr.h"

#include <gtest/gtest.h>

namespace {

class RuntimeTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(vkit::VTaskMgr::Init()); }
    void TearDown() override { vkit::VTaskMgr::DeInit(); }
};

[[maybe_unused]] ::testing::Environment* const sEnvironment =
    ::testing::AddGlobalTestEnvironment(new RuntimeTestEnvironment);

} // namespace
