#pragma once
#include <string_view>

// The suffixes of the updater's own files beside installed files: a file in
// use moved aside, and a new copy on its way in.
inline constexpr char kBackupSuffix[] = ".bak";
inline constexpr char kInstallTempSuffix[] = ".updating";

// A manifest file name that stays inside the folder it is joined to: not
// empty, not absolute (no leading '\' or '/', no drive "X:", no share), no "."
// or ".." component, no empty component, no character that Windows forbids in
// names (<>:"/|?* and control characters; '\' separates folders), and no
// component that Windows reserves (CON, NUL, COM1...) or that ends in a dot
// or blank. Nor may it end in ".bak" or ".updating": beside installed files
// those are the updater's own, removed or moved back by every run.
bool IsSafeManifestName(std::string_view name);
// Why a manifest name is not safe, in a few words; nullptr when it is.
const char* WhyUnsafeManifestName(std::string_view name);

// A data-package name: one plain folder name by the same rules, without '\'.
bool IsSafePackageName(std::string_view name);
