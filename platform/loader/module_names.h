#pragma once
// How a module's file name maps to files on this host, and where the default search looks.

#include <string>
#include <vector>

namespace platform::loader {

// The file names to try for one module name in one directory, best first: the name itself, then
// for "<stem>.dll" (any case) the shared-object name "lib<lower-case stem>.so".
std::vector<std::string> hostFileNamesFor(const std::string& moduleFileName);

// The default search path: the program's directory, this library's directory, then VE_DLL_PATH.
std::vector<std::string> defaultSearchDirectories();

// Splits a directory list at ':' and ';', dropping empty entries.
std::vector<std::string> splitDirectoryList(const std::string& list);

}  // namespace platform::loader
