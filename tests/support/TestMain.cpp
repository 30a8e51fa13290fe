// The test programs' entry: the tests, then the leak check while every library is still whole
// (the sanitizers' own check at exit races with other libraries' destructors).
#include <gtest/gtest.h>

#include "LeakCheck.h"

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    const int code = RUN_ALL_TESTS();
    launcher::CheckLeaksNow();
    return code;
}
