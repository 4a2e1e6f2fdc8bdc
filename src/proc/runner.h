// Runs one command line as a hidden child process, hands each line of its
// output (stdout and stderr joined) to the router while it runs, and
// returns its exit code.
#pragma once

inline constexpr unsigned long RUN_FAILED = 0xFFFFFFFFul;

// cmdline must be writable. echo: log "$ " and the line first.
// Returns the child's exit code, or RUN_FAILED when it could not be run.
unsigned long run_logged(wchar_t* cmdline, int echo);
