#pragma once
// Win32 command lines and program names on this host.

#include <string>
#include <string_view>
#include <vector>

namespace ve::kernel {

// Splits a command line into arguments by the Win32 C runtime's rules: white space separates
// arguments; double quotes group; inside quotes a doubled quote is a literal quote; 2n backslashes
// before a quote give n backslashes and the quote acts, 2n+1 give n backslashes and a literal
// quote; other backslashes are literal. The first argument, the program name, ends at the first
// white space outside quotes and takes its quotes away without further rules.
std::vector<std::string> splitCommandLine(std::string_view commandLine);

// Quotes one argument, not the program name, so that splitCommandLine gives it back unchanged.
std::string quoteArgument(std::string_view argument);

// Joins arguments (none of them a program name) into a command-line tail.
std::string joinArguments(const std::vector<std::string>& arguments);

// The directories searched for a program named without a path: the running program's directory,
// the current directory, then PATH.
std::vector<std::string> programSearchDirectories();

// Looks for the host program standing for a Win32 program name (see winbase.h): a regular file
// under the name, under its stem when the name ends in ".exe", under name + ".exe" and then the
// name when it has no extension, compared without regard to case. A name containing '/' is looked
// up in its own directory only. Returns the full path, or an empty string when nothing is found.
std::string findProgram(std::string_view name, const std::vector<std::string>& directories);

}  // namespace ve::kernel
