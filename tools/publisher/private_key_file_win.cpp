#include "publisher/private_key_file.h"

#include "base/handles_win.h"

#include <windows.h>
#include <sddl.h>

#include <vector>

namespace {
// Access for the current user alone: a protected DACL with one ACE for the
// user the process runs as. (The OWNER RIGHTS SID would say the same on
// Windows; Wine, which maps a DACL to Unix permissions by user, would make
// such a file unreadable to everyone. With the user's SID, Wine still lets
// the Unix group read it: the native publisher writes mode 0600.)
std::wstring OwnerOnlyDescriptor() {
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken)) return {};
    const UniqueHandle token(rawToken);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size);
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, user.data(), size, &size)) return {};
    UniqueLocalMemory<wchar_t*> sid;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, sid.put())) return {};
    return L"D:P(A;;FA;;;" + std::wstring(sid.get()) + L")";
}

std::string LastErrorText(DWORD error) {
    return error == ERROR_FILE_EXISTS ? "exists already" : "Windows error " + std::to_string(error);
}
}  // namespace

bool WriteNewOwnerOnlyFile(const std::filesystem::path& path, std::string_view bytes, std::string& error) {
    const std::wstring descriptorText = OwnerOnlyDescriptor();
    UniqueLocalMemory<PSECURITY_DESCRIPTOR> descriptor;
    if (descriptorText.empty() || !ConvertStringSecurityDescriptorToSecurityDescriptorW(
                                      descriptorText.c_str(), SDDL_REVISION_1, descriptor.put(), nullptr)) {
        error = "cannot describe access for the current user alone: " + LastErrorText(GetLastError());
        return false;
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (!file) {
        error = LastErrorText(GetLastError());
        return false;
    }
    DWORD written = 0;
    const bool complete = bytes.size() <= MAXDWORD &&
                          WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                          written == bytes.size() && FlushFileBuffers(file.get());
    const DWORD failure = GetLastError();
    file.reset();
    if (!complete) {
        error = "cannot write: " + LastErrorText(failure);
        DeleteFileW(path.c_str());
        return false;
    }
    return true;
}
