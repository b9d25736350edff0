#pragma once

// Reports a fatal numeric condition with three lines on standard error and ends the process
// with exit status 1 through the normal exit (streams flushed, exit handlers run).
[[noreturn]] void numeric_error(const char* text);
