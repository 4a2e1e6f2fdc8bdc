// A worker's children with their output shown in the window: each line
// through the router, the worker's group, and the command line echoed to
// the log on request.
#pragma once
#include "jobs/messages.h"  // echo_command

// cmdline must be writable. echo: log "$ " and the line first.
// Returns the child's exit code, RUN_FAILED when it could not be run, or
// RUN_CANCELLED when a cancel ended it or kept it from starting.
unsigned long run_logged(wchar_t* cmdline, int echo);

// Shown each line of the child's output before the router gets it.
typedef void (*LineWatch)(const wchar_t* line, void* ctx);

// As run_logged with echo off, but the child starts in folder as its
// current folder, and watch (may be null) sees every line first.
unsigned long run_in_folder(wchar_t* cmdline, const wchar_t* folder, LineWatch watch, void* ctx);
