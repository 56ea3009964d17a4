// The worked example at the end of each help file, run with the MEX files of
// a folder as a release ships it (MEXTK_RELEASE_DIR: the MEX files and their
// help files side by side; default: this build's own), in the test host of
// the platform the files are for.  The inputs are the example's, which its
// code block must still show; the results must be the numbers its output
// block prints.
#include "test_host.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string folder()
{
    const char *dir = std::getenv("MEXTK_RELEASE_DIR");
    if (dir && *dir) {
        return dir;
    }
    const std::string path = testhost::mexPath("pallant");
    return path.substr(0, path.find_last_of('/'));
}

std::string mexFile(const std::string &name)
{
    const std::string path = testhost::mexPath(name);
    return folder() + "/" + path.substr(path.find_last_of('/') + 1);
}

// The example of a help file: its code block and the numbers of the output
// block after it (the first two runs of lines indented deeper than the prose
// after the line that starts with "Example").
struct Example {
    std::string code;
    std::vector<double> shown;
};

Example example(const std::string &name)
{
    std::ifstream file(folder() + "/" + name + ".m");
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    const std::regex indented(R"(^% {5,}\S.*)");
    std::size_t at = 0;
    while (at < lines.size() && !std::regex_search(lines[at], std::regex(R"(^%\s*Example)"))) {
        ++at;
    }
    std::string blocks[2];
    for (std::string &block : blocks) {
        while (at < lines.size() && !std::regex_match(lines[at], indented)) {
            ++at;
        }
        for (; at < lines.size() && std::regex_match(lines[at], indented); ++at) {
            block += lines[at].substr(1) + "\n";
        }
    }
    Example e;
    e.code = blocks[0];
    const std::regex number(R"(-?\d+(\.\d+)?)");
    for (std::sregex_iterator it(blocks[1].begin(), blocks[1].end(), number), end; it != end; ++it) {
        e.shown.push_back(std::stod(it->str()));
    }
    return e;
}

// The code with its spacing collapsed, so that a test can look for a call.
std::string squeezed(std::string s)
{
    return std::regex_replace(s, std::regex(R"(\s+)"), " ");
}

TEST(HelpExamples, Pallant)
{
    const Example e = example("pallant");
    ASSERT_NE(squeezed(e.code).find("pallant([1 4; 2 8], int32([1; 0; 1]), int32([0; 1; 1]))"), std::string::npos)
        << e.code;
    const testhost::MexFile mex(mexFile("pallant"));
    const testhost::Array image(testhost::makeDouble({2, 2}, {1, 2, 4, 8}));
    const testhost::Array rows(testhost::makeInt32({3, 1}, {1, 0, 1}));
    const testhost::Array cols(testhost::makeInt32({3, 1}, {0, 1, 1}));
    const testhost::CallResult r = mex.call(4, {image, rows, cols});
    ASSERT_FALSE(r.failed) << r.message;
    // disp([s t c l]): one edge per row.
    std::vector<double> shown;
    const std::size_t edges = testhost::elementCount(r.outputs[0].get());
    for (std::size_t k = 0; k < edges; ++k) {
        for (const testhost::Array &column : r.outputs) {
            shown.push_back(testhost::doubles(column.get())[k]);
        }
    }
    EXPECT_EQ(shown, e.shown);
}

TEST(HelpExamples, Kestrow)
{
    const Example e = example("kestrow");
    ASSERT_NE(squeezed(e.code).find("kestrow([1 2 1; 0 0 2], [1; 0], eye(2), 1)"), std::string::npos) << e.code;
    ASSERT_NE(e.code.find("%.4f"), std::string::npos) << e.code;
    const testhost::MexFile mex(mexFile("kestrow"));
    const testhost::Array X(testhost::makeDouble({2, 3}, {1, 0, 2, 0, 1, 2}));
    const testhost::Array MU(testhost::makeDouble({2, 1}, {1, 0}));
    const testhost::Array IS(testhost::makeDouble({2, 2}, {1, 0, 0, 1}));
    const testhost::Array K(testhost::makeDouble({1, 1}, {1}));
    const testhost::CallResult r = mex.call(1, {X, MU, IS, K});
    ASSERT_FALSE(r.failed) << r.message;
    std::vector<double> shown;
    for (double v : testhost::doubles(r.outputs[0].get())) {
        char text[32];
        std::snprintf(text, sizeof text, "%.4f", v);
        shown.push_back(std::stod(text));
    }
    EXPECT_EQ(shown, e.shown);
}

TEST(HelpExamples, Modrick)
{
    const Example e = example("modrick");
    const std::string code = squeezed(e.code);
    ASSERT_NE(code.find("A = uint32([1; 3; 5; 7]); B = uint32([2; 4; 6; 8]);"), std::string::npos) << e.code;
    ASSERT_NE(code.find("modrick(A, B, uint32([3; 3; 7]), uint32([4; 4; 8]))"), std::string::npos) << e.code;
    const testhost::MexFile mex(mexFile("modrick"));
    const testhost::Array A(testhost::makeUint32({4, 1}, {1, 3, 5, 7}));
    const testhost::Array B(testhost::makeUint32({4, 1}, {2, 4, 6, 8}));
    const testhost::Array C(testhost::makeUint32({3, 1}, {3, 3, 7}));
    const testhost::Array D(testhost::makeUint32({3, 1}, {4, 4, 8}));
    const testhost::CallResult r = mex.call(1, {A, B, C, D});
    ASSERT_FALSE(r.failed) << r.message;
    std::vector<double> shown;
    for (std::uint32_t p : testhost::uint32s(r.outputs[0].get())) {
        shown.push_back(p);
    }
    EXPECT_EQ(shown, e.shown);
}

}  // namespace
