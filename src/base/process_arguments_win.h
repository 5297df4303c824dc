#pragma once
// The process's own command line, split as the C runtime splits it.
#include <string>
#include <vector>

// The arguments after the program name, as UTF-16.
std::vector<std::wstring> ProcessArgumentsWide();
// The same as GBK texts (code page 936, whatever the system's code page is).
std::vector<std::string> ProcessArguments();
