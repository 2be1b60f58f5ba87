// Diagnostics of the tools. On Windows they are GUI-subsystem programs (the
// converter runs them hidden and no console window may flash up), so
// stderr exists only when the caller handed one over; started from a
// console they borrow that console for their messages.
#pragma once

#include <string>

namespace tools {

// Makes stderr usable; call first in main.
void connect_error_output();

// Prints "<program>: <text>" and a line feed to stderr.
void report(const char* program, const std::string& text);

}  // namespace tools
