#include "platform/user32/window_table.h"

#include <unistd.h>

#include <algorithm>
#include <map>

namespace ve::user {
namespace {

std::string tablePath(const std::string& desktop) {
    return desktop + "/windows";
}

std::optional<WindowRecord> parseRecord(const std::string& line) {
    auto fields = desktop::splitFields(line);
    if (fields.size() != 9) return std::nullopt;
    auto handle = desktop::parseNumber(fields[0], 16);
    auto pid = desktop::parseNumber(fields[1], 10);
    auto start = desktop::parseNumber(fields[2], 10);
    auto owner = desktop::parseNumber(fields[3], 16);
    auto activation = desktop::parseNumber(fields[5], 10);
    if (!handle || !pid || !start || !owner || !activation || *handle > 0xFFFFFFFFu)
        return std::nullopt;
    WindowRecord record;
    record.handle = uint32_t(*handle);
    record.process = {pid_t(*pid), *start};
    record.owner = uint32_t(*owner);
    record.visible = fields[4] == "1";
    record.activation = *activation;
    record.queue = desktop::unescape(fields[6]);
    record.className = desktop::unescape(fields[7]);
    record.title = desktop::unescape(fields[8]);
    return record;
}

std::string formatRecord(const WindowRecord& r) {
    return desktop::hex(r.handle) + '\t' + std::to_string(r.process.pid) + '\t' +
           std::to_string(r.process.startTime) + '\t' + desktop::hex(r.owner) + '\t' +
           (r.visible ? "1" : "0") + '\t' + std::to_string(r.activation) + '\t' +
           desktop::escape(r.queue) + '\t' + desktop::escape(r.className) + '\t' +
           desktop::escape(r.title) + '\n';
}

}  // namespace

WindowRecord* WindowTable::find(uint32_t handle) {
    for (WindowRecord& record : windows)
        if (record.handle == handle) return &record;
    return nullptr;
}

void WindowTable::raise(uint32_t handle) {
    auto it = std::find_if(windows.begin(), windows.end(),
                           [&](const WindowRecord& r) { return r.handle == handle; });
    if (it != windows.end()) std::rotate(windows.begin(), it, it + 1);
}

void WindowTable::activate(uint32_t handle) {
    raise(handle);
    if (WindowRecord* record = find(handle)) record->activation = nextActivation++;
}

WindowTable loadWindowTable(const std::string& desktop, bool removeDeadQueues) {
    WindowTable table;
    auto text = desktop::readFile(tablePath(desktop));
    if (!text) return table;
    auto lines = desktop::splitLines(*text);
    if (!lines.empty()) {
        auto header = desktop::splitFields(lines[0]);
        if (header.size() == 2) {
            if (auto next = desktop::parseNumber(header[0], 16); next && *next <= 0xFFFFFFF0u)
                table.nextHandle = uint32_t(*next);
            if (auto stamp = desktop::parseNumber(header[1], 10)) table.nextActivation = *stamp;
        }
    }
    std::map<pid_t, bool> alive;  // one look at each process per load
    for (size_t i = 1; i < lines.size(); ++i) {
        auto record = parseRecord(lines[i]);
        if (!record) continue;
        auto known = alive.find(record->process.pid);
        bool live = known != alive.end()
                        ? known->second
                        : (alive[record->process.pid] = desktop::isAlive(record->process));
        if (live) {
            table.windows.push_back(*record);
        } else if (removeDeadQueues && record->queue.find('/') == std::string::npos &&
                   !record->queue.empty()) {
            ::unlink((desktop + "/" + record->queue).c_str());
        }
    }
    return table;
}

bool saveWindowTable(const std::string& desktop, const WindowTable& table) {
    std::string text =
        desktop::hex(table.nextHandle) + '\t' + std::to_string(table.nextActivation) + '\n';
    for (const WindowRecord& record : table.windows) text += formatRecord(record);
    return desktop::writeFileAtomically(tablePath(desktop), text);
}

std::vector<WindowRecord> liveWindows(const std::string& desktop) {
    return loadWindowTable(desktop, false).windows;
}

std::optional<WindowRecord> findWindowRecord(const std::string& desktop, uint32_t handle) {
    for (const WindowRecord& record : liveWindows(desktop))
        if (record.handle == handle) return record;
    return std::nullopt;
}

}  // namespace ve::user
