// Every built MEX file exports mexFunction and nothing else: no helper, no
// inlined library code, no host adapter symbol leaks into its dynamic table.
// And the host entry points it imports are exactly those the gateways are
// written against, the MATLAB ABI of mex_api.h: a slip such as a 64-bit
// mxGetDimensions in place of mxGetDimensions_700 fails here.
#include "test_host.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
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

// The host operations mex_api.h declares (the entry excluded).
std::set<std::string> declaredHostOperations()
{
    std::ifstream header(MEXTK_MEX_API_HEADER);
    const std::string text((std::istreambuf_iterator<char>(header)), std::istreambuf_iterator<char>());
    const std::regex declaration(R"(MEXAPI_EXTERN_C[^;(]*\b(mex\w+|mx\w+)\s*\()");
    std::set<std::string> names;
    for (std::sregex_iterator it(text.begin(), text.end(), declaration), end; it != end; ++it) {
        names.insert((*it)[1]);
    }
    names.erase("mexFunction");
    return names;
}

TEST(Exports, EveryMexFileImportsOnlyTheHostOperationsOfItsHeader)
{
    const std::set<std::string> declared = declaredHostOperations();
    ASSERT_GE(declared.size(), 10u) << "could not read " << MEXTK_MEX_API_HEADER;
    std::set<std::string> used;
    for (const char *name : {"pallant", "kestrow", "modrick"}) {
        SCOPED_TRACE(name);
        for (const std::string &symbol : testhost::undefinedDynamicSymbols(testhost::mexPath(name))) {
            if (symbol.rfind("mx", 0) == 0 || symbol.rfind("mex", 0) == 0) {
                EXPECT_EQ(declared.count(symbol), 1u) << symbol << " is not a host operation of mex_api.h";
                used.insert(symbol);
            }
        }
    }
    // Nothing is declared that no gateway uses.
    EXPECT_EQ(used, declared);
}

TEST(Exports, EveryMexFileLoadsIntoTheTestHost)
{
    for (const char *name : {"pallant", "kestrow", "modrick"}) {
        EXPECT_NO_THROW(testhost::MexFile file(testhost::mexPath(name))) << name;
    }
}

}  // namespace
