#pragma once
// GBK path to the wide form that the W functions take. Absolute results carry
// the "\\?\" prefix ("\\?\UNC\" for shares), which lifts the MAX_PATH limit;
// since such paths are not normalised by Windows, the path is made full
// (relative parts resolved, '/' turned into '\') first.
#include <string>

std::wstring LongPath(const std::string& gbkPath);
