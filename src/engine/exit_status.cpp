#include "engine/exit_status.h"

#include <cstdio>
#include <utility>

namespace {
constexpr uint32_t kControlCExit = 0xC000013A;

constexpr std::pair<uint32_t, const char*> kNames[] = {
    {0xC0000005, "access violation"},
    {0xC0000409, "fail-fast: stack buffer overrun"},
    {0xC0000602, "fail-fast"},
    {0xC00000FD, "stack overflow"},
    {0xC0000374, "heap corruption"},
    {0xC0000135, "DLL not found"},
    {0xC0000139, "entry point not found"},
    {0xC0000142, "DLL initialisation failed"},
    {0xC000007B, "bad image"},
    {0xC0000017, "out of memory"},
    {0xC000001D, "illegal instruction"},
    {0xC0000096, "privileged instruction"},
    {0xC0000094, "integer division by zero"},
    {0x80000003, "breakpoint"},
    {kControlCExit, "ended by Ctrl+C"},
};
}  // namespace

bool IsFailedStartStatus(uint32_t status) {
    // Of the warning class, only the exceptions that end a process unhandled;
    // 0x8000xxxx beyond them are COM results (E_FAIL 0x80004005, E_ABORT)
    // that programs return from WinMain as their own exit code.
    constexpr uint32_t kFirstUnhandledWarning = 0x80000001u;  // guard page violation
    constexpr uint32_t kLastUnhandledWarning = 0x80000004u;   // single step
    if (status >= kFirstUnhandledWarning && status <= kLastUnhandledWarning) return true;
    return (status & 0xFFFF0000u) == 0xC0000000u && status != kControlCExit;
}

std::string DescribeExitStatus(uint32_t status) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(status));
    for (const auto& [code, name] : kNames) {
        if (code == status) return std::string(hex) + " (" + name + ")";
    }
    return hex;
}
