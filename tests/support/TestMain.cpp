// The test programs' main: GoogleTest's, plus a record of the vector paths.
//
// A test pinned to a path the processor lacks skips, and a skipped test
// passes; so a suite run on a machine with AVX-512 could leave the eight-lane
// kernels untested and still pass. Where ZARN_VECTOR_PATH_REPORT names a
// file, every test program appends to it the paths this build detects here
// and, per test named after a path, whether it ran there or skipped, so that
// CI can fail on a path the machine has and no test ran.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>

#include "common/VectorDispatch.h"

namespace {

class VectorPathRecord : public ::testing::EmptyTestEventListener {
public:
    explicit VectorPathRecord(std::string path) : path_(std::move(path)) {}

    // Parameterised tests over the paths are named after them (".../avx512").
    void OnTestEnd(const ::testing::TestInfo& test) override {
        if (test.value_param() == nullptr) return;
        const std::string name = test.name();
        const std::size_t slash = name.rfind('/');
        if (slash == std::string::npos) return;
        for (const zarn::VectorPath path : zarn::kVectorPaths) {
            if (name.compare(slash + 1, std::string::npos, zarn::vectorPathName(path)) != 0) continue;
            append(std::string(test.result()->Skipped() ? "skipped " : "ran ") + zarn::vectorPathName(path) +
                   " " + test.test_suite_name() + "." + name);
        }
    }

    void OnTestProgramEnd(const ::testing::UnitTest&) override {
        std::string line = "available";
        for (const zarn::VectorPath path : zarn::kVectorPaths) {
            if (zarn::vectorPathAvailable(path)) line += std::string(" ") + zarn::vectorPathName(path);
        }
        append(line);
    }

private:
    // One write per line on a file opened for appending, so that the test
    // programs ctest runs side by side do not interleave their lines.
    void append(const std::string& line) const {
        const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path_.c_str(), "a"), std::fclose);
        if (file == nullptr) return;
        const std::string text = line + "\n";
        std::fwrite(text.data(), 1, text.size(), file.get());
    }

    const std::string path_;  // the report file, appended to, never truncated
};

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const char* report = std::getenv("ZARN_VECTOR_PATH_REPORT");
    if (report != nullptr && *report != '\0') {
        ::testing::UnitTest::GetInstance()->listeners().Append(new VectorPathRecord(report));
    }
    return RUN_ALL_TESTS();
}
