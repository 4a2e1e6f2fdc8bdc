// test_proc runs its tests, or, with --hold-children, stands in for Tarnvik
// as a program whose children must not outlive it.
#include <gtest/gtest.h>
#include <string.h>

int hold_children_main();

int main(int argc, char** argv)
{
    if (argc == 2 && strcmp(argv[1], "--hold-children") == 0)
        return hold_children_main();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
