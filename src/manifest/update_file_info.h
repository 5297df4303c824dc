#pragma once
#include <string>

// One file of a manifest that is to be downloaded, with the manifest's texts.
struct S_UpdateFileInfo {
    std::string FileName;    // relative path as the manifest names it, '\'-separated
    std::string ModifyTime;  // "MODIFYTIME", carried only
    std::string Size;        // "SIZE", decimal bytes as text
    std::string MD5;         // "MD5", in the form CMD5::GetFileMD5 gives
    // "SHA256", 64 hex digits, which a signing publisher adds; absent in
    // older manifests, so records written without it leave it empty.
    std::string SHA256 = {};
    // "GZSIZE", decimal bytes of the file's gzip form "NAME.gz" on the
    // server; empty when the file travels only as it is.
    std::string GzSize = {};
    // The installed copy's MD5 as the compare learned it (read or
    // remembered), lower-case hex; empty when no installed copy could be read.
    std::string InstalledMD5 = {};
    // "PATCH", the patches against earlier copies that the server has
    // beside the file (listed_patches.h reads it); empty when none.
    std::string Patch = {};
};
