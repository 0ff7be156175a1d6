// The entry point of every test program: it refuses to run anywhere but
// under Wine, because the tests rewrite registry values and key DACLs that
// a real Windows machine depends on.

#include "test_support.h"

#include <gtest/gtest.h>

#include <stdio.h>

int main(int argc, char** argv)
{
    if (!test::RunningUnderWine())
    {
        fputs("Refusing to run: these tests rewrite the regional settings and registry permissions of the "
              "machine they run on. Run them under Wine, in a throwaway prefix (see the README).\n",
              stderr);
        return 2;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
