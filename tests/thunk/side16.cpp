#include "side16.h"

#include <dlfcn.h>

#include <cstdlib>

namespace side16 {

namespace {
constexpr char recordName[] = "ve_ThunkData16";
constexpr char dll16[] = "VE16.DLL";
constexpr WORD callersOwnData = 0xC0DE;
}  // namespace

Side16::Side16(DWORD checksum, const char* dll32)
    : record_{{'S', 'L', '0', '1'}, checksum, entryCount, {0, 0, 0, 0, 0}} {
    EXPECT_TRUE(ThunkConnect16(dll16, dll32, recordName, &record_, DLL_PROCESS_ATTACH));
}

Side16::~Side16() {
    unload();
    ThunkConnect16(dll16, "", recordName, &record_, DLL_PROCESS_DETACH);
}

HMODULE Side16::load() {
    bridge_ = LoadLibraryA("VE32THK.DLL");
    return bridge_;
}

void Side16::unload() {
    if (bridge_ != nullptr) FreeLibrary(bridge_);
    bridge_ = nullptr;
}

DWORD Side16::call(Entry entry, std::initializer_list<Arg16> arguments) {
    Stack16 stack;
    stack.pushWord(callersOwnData);
    for (const Arg16& argument : arguments) {
        if (argument.size == Arg16::word)
            stack.pushWord(static_cast<WORD>(argument.bits));
        else
            stack.pushDword(argument.bits);
    }
    DWORD result = 0xFFFFFFFF;
    EXPECT_TRUE(ThunkDispatch16To32(&record_, entry, &stack, &result)) << "entry " << entry;
    EXPECT_EQ(stack.depth(), 2u) << "entry " << entry << " removed the wrong number of bytes";
    EXPECT_EQ(stack.frame().word(0), callersOwnData) << "entry " << entry;
    return result;
}

SearchPathOverride::SearchPathOverride(const std::vector<std::string>& directories) {
    const char* value = std::getenv("VE_DLL_PATH");
    hadValue_ = value != nullptr;
    if (hadValue_) saved_ = value;
    std::string list;
    for (const std::string& directory : directories) list += (list.empty() ? "" : ":") + directory;
    setenv("VE_DLL_PATH", list.c_str(), 1);
}

SearchPathOverride::~SearchPathOverride() {
    if (hadValue_)
        setenv("VE_DLL_PATH", saved_.c_str(), 1);
    else
        unsetenv("VE_DLL_PATH");
}

bool isMapped(const std::string& path) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle != nullptr) dlclose(handle);
    return handle != nullptr;
}

}  // namespace side16
