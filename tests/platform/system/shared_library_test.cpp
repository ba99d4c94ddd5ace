// Libraries opened at run time: a symbol found is the library's own, a missing library or
// symbol gives null with the loader's reason.

#include <gtest/gtest.h>

#include <string>

#include "platform/system/shared_library.h"

namespace {

TEST(SharedLibrary, OpensFindsAndReportsWhatIsMissing)
{
    std::string error;
    auto library = platform::SharedLibrary::Open("libm.so.6", &error);
    ASSERT_NE(library, nullptr) << error;
    double (*cosine)(double) = nullptr;
    ASSERT_TRUE(library->Find("cos", cosine));
    EXPECT_EQ(cosine(0.0), 1.0);
    int (*none)() = nullptr;
    EXPECT_FALSE(library->Find("tolvanrise_no_such_symbol", none));
    EXPECT_EQ(library->FindSymbol(nullptr), nullptr);

    for (const char* name :
         {"libtolvanrise-absent-library.so", "", static_cast<const char*>(nullptr)}) {
        error.clear();
        EXPECT_EQ(platform::SharedLibrary::Open(name, &error), nullptr);
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(platform::SharedLibrary::Open("libtolvanrise-absent-library.so"), nullptr);
}

} // namespace
