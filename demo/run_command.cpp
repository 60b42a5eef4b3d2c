// Runs a program through the C library's system(), so the demo needs no
// process code of its own; each argument is quoted for the shell that
// system() uses, so that names with spaces or quotes arrive unchanged.
#include "run_command.h"

#include <cstdio>
#include <cstdlib>

namespace {

#ifdef _WIN32
// cmd.exe: a Windows file name cannot hold '"', so double quotes keep every
// argument whole. (cmd still expands %NAME% when NAME is a variable it has.)
std::string quoted(const std::string &arg)
{
    return "\"" + arg + "\"";
}
#else
// sh: inside single quotes every byte is literal; a quote itself is closed,
// escaped and reopened.
std::string quoted(const std::string &arg)
{
    std::string out = "'";
    for (char c : arg) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}
#endif

} // namespace

int run_command(const std::vector<std::string> &args, const std::string &err_path)
{
    std::string line;
    for (const std::string &arg : args) {
        if (!line.empty()) line += ' ';
        line += quoted(arg);
    }
    line += " 2>" + quoted(err_path);
#ifdef _WIN32
    // cmd /c takes away the first and the last quote of a line that begins
    // with one; an outer pair keeps the quotes of the program's name.
    line = "\"" + line + "\"";
#endif
    // What the demo printed so far comes before whatever the program prints.
    std::fflush(nullptr);
    return std::system(line.c_str());
}
