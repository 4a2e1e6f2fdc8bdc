// test_proc runs its tests, or, with --hold-children, stands in for Tarnvik
// as a program whose children must not outlive it, or, with
// --job-inside-job, as one that is put into a job of someone else's.
#include <gtest/gtest.h>
#include <string.h>

int hold_children_main();
int job_inside_job_main();

int main(int argc, char** argv)
{
    if (argc == 2 && strcmp(argv[1], "--hold-children") == 0)
        return hold_children_main();
    if (argc == 2 && strcmp(argv[1], "--job-inside-job") == 0)
        return job_inside_job_main();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
