// Running a program and waiting for it: how the demo starts the imgthumb
// command. Standard error goes to a file, which the demo reads afterwards.
#pragma once

#include <string>
#include <vector>

// Runs args[0] with the arguments args[1..] through the system's shell, with
// standard error written to err_path (replaced). Returns the shell's
// result: 0 when the program ran and exited with status 0.
int run_command(const std::vector<std::string> &args, const std::string &err_path);
