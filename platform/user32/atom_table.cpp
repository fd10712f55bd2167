#include "platform/user32/atom_table.h"

#include <strings.h>

#include "platform/user32/desktop.h"
#include "platform/user32/winuser.h"

namespace ve::user {
namespace {
constexpr UINT kFirstAtom = 0xC000;
constexpr UINT kLastAtom = 0xFFFF;
}  // namespace

UINT registerName(const std::string& desktop, const std::string& name) {
    desktop::Lock lock(desktop);
    if (!lock.held()) return 0;
    std::string path = desktop + "/atoms";
    std::string text = desktop::readFile(path).value_or("");
    auto names = desktop::splitLines(text);
    for (size_t i = 0; i < names.size(); ++i) {
        if (::strcasecmp(desktop::unescape(names[i]).c_str(), name.c_str()) == 0)
            return kFirstAtom + UINT(i);
    }
    if (kFirstAtom + names.size() > kLastAtom) return 0;
    if (!desktop::appendRecord(path, desktop::escape(name) + '\n')) return 0;
    return kFirstAtom + UINT(names.size());
}

}  // namespace ve::user

extern "C" UINT WINAPI RegisterWindowMessageA(LPCSTR name) {
    if (name == nullptr || *name == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string desktop = ve::desktop::directory();
    UINT number = desktop.empty() ? 0 : ve::user::registerName(desktop, name);
    if (number == 0) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return number;
}
