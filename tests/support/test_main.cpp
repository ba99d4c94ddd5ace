#include <gtest/gtest.h>

#include "support/headless.h"

int main(int argc, char** argv)
{
    tolvanrise::test::UseHeadlessDrivers();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
