// "--selftest": runs the built-in checks, writes selftest.txt in the
// current folder and ends the process (0 all passed, 1 otherwise).
#pragma once

[[noreturn]] void run_selftest();
