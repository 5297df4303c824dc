#pragma once
// GBK path to the file system's path on the native build: UTF-8 names, and
// '\' separating folders like '/', so that manifest names with '\' work.
#include <filesystem>
#include <string>

std::filesystem::path NativePath(const std::string& gbkPath);
// Back to a GBK text with '/' separators.
std::string GbkPathOf(const std::filesystem::path& path);
