#pragma once
// Tests run once on each vector path the machine has, the path pinned for
// the test's length: derive from OnEveryVectorPath, and instantiate with
// ZARN_ON_EVERY_VECTOR_PATH(Fixture). Paths the machine lacks skip (which
// CI counts: a machine with a path its tests skipped fails).

#include <gtest/gtest.h>

#include <string>

#include "common/VectorDispatch.h"

namespace zarn::test {

class OnEveryVectorPath : public ::testing::TestWithParam<VectorPath> {
protected:
    void SetUp() override {
        if (!useVectorPath(GetParam())) GTEST_SKIP() << "this machine has no " << vectorPathName(GetParam());
    }
    void TearDown() override { useVectorPath(widestVectorPath()); }
};

inline std::string vectorPathTestName(const ::testing::TestParamInfo<VectorPath>& info) {
    return vectorPathName(info.param);
}

}  // namespace zarn::test

#define ZARN_ON_EVERY_VECTOR_PATH(Fixture)                                             \
    INSTANTIATE_TEST_SUITE_P(Paths, Fixture, ::testing::ValuesIn(::zarn::kVectorPaths), \
                             ::zarn::test::vectorPathTestName)
