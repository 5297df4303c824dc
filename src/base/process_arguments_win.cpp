#include "base/process_arguments_win.h"

#include "base/handles_win.h"
#include "base/gbk_text.h"

#include <windows.h>
#include <shellapi.h>

std::vector<std::wstring> ProcessArgumentsWide() {
    int count = 0;
    const UniqueLocalMemory<LPWSTR*> vector(CommandLineToArgvW(GetCommandLineW(), &count));
    std::vector<std::wstring> arguments;
    for (int i = 1; vector && i < count; ++i) arguments.emplace_back(vector.get()[i]);
    return arguments;
}

std::vector<std::string> ProcessArguments() {
    std::vector<std::string> arguments;
    for (const std::wstring& argument : ProcessArgumentsWide()) arguments.push_back(Narrow(argument));
    return arguments;
}
