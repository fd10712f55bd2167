// The program start of a windowed program: the host's main() hands over to WinMain as the
// original platform's start-up code does, with the command line after the program name.

#include <string>
#include <vector>

#include "platform/kernel32/command_line.h"
#include "platform/user32/resources.h"
#include "platform/user32/winuser.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    std::string commandLine = ve::kernel::joinArguments(arguments);
    return WinMain(ve::resources::programInstance(), nullptr, commandLine.data(), SW_SHOWDEFAULT);
}
