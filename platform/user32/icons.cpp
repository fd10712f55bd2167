// Resources, icons, cursors and stock objects.

#include "platform/user32/icons.h"

#include <map>
#include <vector>

#include "platform/user32/icon_file.h"
#include "platform/user32/resources.h"
#include "platform/user32/winuser.h"

namespace ve::resources {
namespace {

std::vector<Resource>& programResources() {
    static std::vector<Resource> resources;
    return resources;
}

}  // namespace

ResourceTable::ResourceTable(const Resource* resources, size_t count) {
    programResources().insert(programResources().end(), resources, resources + count);
}

const Resource* findProgramResource(ResourceType type, unsigned id) {
    for (const Resource& resource : programResources())
        if (resource.type == type && resource.id == id) return &resource;
    return nullptr;
}

}  // namespace ve::resources

namespace ve::user {
namespace {

struct IconTable {
    std::map<uintptr_t, IconDescription> icons;
    uintptr_t next = 0x00020000;
};

IconTable& iconTable() {
    static IconTable table;
    return table;
}

// The arrow is the only system cursor a window class here asks for; it has no image to show.
constexpr uintptr_t kArrowCursor = 0x00010003;

}  // namespace

std::optional<IconDescription> describeIcon(HICON icon) {
    auto& icons = iconTable().icons;
    auto it = icons.find(reinterpret_cast<uintptr_t>(icon));
    if (it == icons.end()) return std::nullopt;
    return it->second;
}

}  // namespace ve::user

using namespace ve;

extern "C" HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
    if (instance != resources::programInstance()) {
        // System icons (a null instance) have no images here, and there are no other modules.
        SetLastError(instance == nullptr ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const resources::Resource* resource =
        IS_INTRESOURCE(name)
            ? resources::findProgramResource(resources::ResourceType::Icon, LOWORD(name))
            : nullptr;
    if (resource == nullptr) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    std::span<const uint8_t> file(resource->data, resource->size);
    std::string error;
    auto entries = icons::parseIconFile(file, error);
    if (!entries) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    const icons::IconEntry& entry = (*entries)[icons::chooseIconEntry(*entries, 32, 32)];
    auto& table = user::iconTable();
    uintptr_t handle = table.next;
    table.next += 4;
    table.icons[handle] =
        user::IconDescription{resource->id, icons::singleImageIconFile(file, entry)};
    return reinterpret_cast<HICON>(handle);
}

extern "C" BOOL WINAPI DestroyIcon(HICON icon) {
    if (user::iconTable().icons.erase(reinterpret_cast<uintptr_t>(icon)) == 0) {
        SetLastError(ERROR_INVALID_CURSOR_HANDLE);
        return FALSE;
    }
    return TRUE;
}

extern "C" HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
    if (instance == nullptr && name == IDC_ARROW)
        return reinterpret_cast<HCURSOR>(user::kArrowCursor);
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

extern "C" HGDIOBJ WINAPI GetStockObject(int object) {
    // Stock objects are fixed handles; nothing is drawn with them here.
    if (object < WHITE_BRUSH || object > NULL_BRUSH) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return reinterpret_cast<HGDIOBJ>(uintptr_t(0x00900010 + 4 * object));
}
