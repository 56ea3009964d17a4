// Every built MEX file exports mexFunction and nothing else: no helper, no
// inlined library code, no host adapter symbol leaks into its dynamic table.
#include "test_host.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> builtFiles()
{
    std::vector<std::string> files;
    std::stringstream patterns(MEXTK_MEX_PATTERNS);
    std::string pattern;
    while (std::getline(patterns, pattern, '|')) {
        for (const char *name : {"pallant", "kestrow", "modrick"}) {
            std::string path = pattern;
            path.replace(path.find("%s"), 2, name);
            files.push_back(path);
        }
    }
    return files;
}

TEST(Exports, EveryMexFileExportsOnlyItsEntry)
{
    for (const std::string &file : builtFiles()) {
        SCOPED_TRACE(file);
        EXPECT_EQ(testhost::definedDynamicSymbols(file), std::vector<std::string>{"mexFunction"});
    }
}

TEST(Exports, EveryMexFileLoadsIntoTheTestHost)
{
    for (const char *name : {"pallant", "kestrow", "modrick"}) {
        EXPECT_NO_THROW(testhost::MexFile file(testhost::mexPath(name))) << name;
    }
}

}  // namespace
