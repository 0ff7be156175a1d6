#pragma once

// Helpers for tests that work on the real registry, the real profile
// service and the real Tavrelon.exe, inside the test prefix.

#include <windows.h>
#include <aclapi.h>
#include <winternl.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace test {

// A registry value as stored: whether it exists, its type and its bytes.
struct StoredValue
{
    bool exists = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;

    bool operator==(const StoredValue& other) const
    {
        return exists == other.exists && (!exists || (type == other.type && bytes == other.bytes));
    }
};

inline void PrintTo(const StoredValue& value, std::ostream* out)
{
    if (!value.exists)
    {
        *out << "(no value)";
        return;
    }
    *out << "type " << value.type << ", " << value.bytes.size() << " bytes:";
    static const char digits[] = "0123456789abcdef";
    for (BYTE byte : value.bytes)
        *out << ' ' << digits[byte >> 4] << digits[byte & 15];
}

inline StoredValue Missing()
{
    return {};
}

inline StoredValue Raw(DWORD type, std::vector<BYTE> bytes)
{
    return {true, type, std::move(bytes)};
}

// The UTF-16 bytes of text, with its terminator unless told otherwise.
inline std::vector<BYTE> Utf16(const std::wstring& text, bool terminated = true)
{
    const BYTE* first = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(first, first + (text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
}

// A REG_SZ value holding text and its terminator.
inline StoredValue Sz(const std::wstring& text)
{
    return Raw(REG_SZ, Utf16(text));
}

inline StoredValue ReadValue(HKEY root, const wchar_t* subKey, const wchar_t* name = L"Locale")
{
    StoredValue value;
    HKEY key;
    if (RegOpenKeyExW(root, subKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return value;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS)
    {
        value.bytes.resize(size);
        value.exists = RegQueryValueExW(key, name, nullptr, &value.type, value.bytes.data(), &size) == ERROR_SUCCESS;
        value.bytes.resize(size);
    }
    RegCloseKey(key);
    return value;
}

inline bool KeyExists(HKEY root, const wchar_t* subKey)
{
    HKEY key;
    if (RegOpenKeyExW(root, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// Stores value under subKey, creating the key; a Missing() value is deleted.
inline bool StoreValue(HKEY root, const wchar_t* subKey, const StoredValue& value, const wchar_t* name = L"Locale")
{
    HKEY key;
    if (RegCreateKeyExW(root, subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG status;
    if (value.exists)
    {
        // A string value whose next character in memory is a NUL gets that
        // NUL stored too, so unterminated data is followed by a non-NUL.
        std::vector<BYTE> data(value.bytes);
        data.insert(data.end(), {0xFF, 0xFF});
        status = RegSetValueExW(key, name, 0, value.type, data.data(), static_cast<DWORD>(value.bytes.size()));
    }
    else
    {
        status = RegDeleteValueW(key, name);
        if (status == ERROR_FILE_NOT_FOUND)
            status = ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

// While alive, the key's DACL grants everyone only the given rights, so an
// open that asks for more fails with ERROR_ACCESS_DENIED. The key's own
// security comes back afterwards, through a handle opened beforehand.
class RestrictedKey
{
public:
    RestrictedKey(HKEY root, const wchar_t* subKey, REGSAM granted)
    {
        if (RegOpenKeyExW(root, subKey, 0, READ_CONTROL | WRITE_DAC, &key_) != ERROR_SUCCESS)
        {
            key_ = nullptr;
            return;
        }
        DWORD size = 0;
        RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, nullptr, &size);
        saved_.resize(size);
        if (size == 0 || RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, saved_.data(), &size) != ERROR_SUCCESS)
            return;

        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        PSID everyone = nullptr;
        if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone))
            return;
        EXPLICIT_ACCESSW access = {};
        access.grfAccessPermissions = granted;
        access.grfAccessMode = SET_ACCESS;
        access.grfInheritance = NO_INHERITANCE;
        access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
        access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
        access.Trustee.ptstrName = static_cast<LPWSTR>(everyone);
        PACL acl = nullptr;
        if (SetEntriesInAclW(1, &access, nullptr, &acl) == ERROR_SUCCESS)
        {
            SECURITY_DESCRIPTOR descriptor;
            InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
            SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
            applied_ = RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, &descriptor) == ERROR_SUCCESS;
            LocalFree(acl);
        }
        FreeSid(everyone);
    }

    ~RestrictedKey()
    {
        if (applied_)
            RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, saved_.data());
        if (key_)
            RegCloseKey(key_);
    }

    RestrictedKey(const RestrictedKey&) = delete;
    RestrictedKey& operator=(const RestrictedKey&) = delete;

    bool applied() const { return applied_; }

private:
    HKEY key_ = nullptr;
    std::vector<BYTE> saved_;
    bool applied_ = false;
};

// How many handles this process holds, as the system's handle table lists
// them (GetProcessHandleCount is not implemented everywhere), or -1.
// Wine 8's server crashes when it lists a process whose handle table is
// empty, as a starting process's briefly is, so callers run while no other
// process starts in their prefix.
inline long OwnHandleCount()
{
    // SYSTEM_HANDLE_TABLE_ENTRY_INFO: the process id is 16 bits wide.
    struct Entry
    {
        USHORT processId;
        USHORT creatorBackTraceIndex;
        BYTE objectType;
        BYTE flags;
        USHORT handle;
        PVOID object;
        ACCESS_MASK access;
    };
    struct Table
    {
        ULONG count;
        Entry entries[1];
    };
    const LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
    std::vector<BYTE> buffer(64 * 1024);
    LONG status;
    ULONG needed = 0;
    while ((status = NtQuerySystemInformation(static_cast<SYSTEM_INFORMATION_CLASS>(16 /* SystemHandleInformation */),
                                              buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) == kInfoLengthMismatch)
        buffer.resize(std::max<size_t>(buffer.size() * 2, needed));
    if (status != 0)
        return -1;
    const Table* table = reinterpret_cast<const Table*>(buffer.data());
    const USHORT self = static_cast<USHORT>(GetCurrentProcessId());
    long own = 0;
    for (ULONG i = 0; i < table->count; ++i)
        own += table->entries[i].processId == self;
    return own;
}

// These programs delete values, write odd ones and change key DACLs: on a
// real Windows machine they would damage its settings. Wine's ntdll is
// known by its wine_get_version export.
inline bool RunningUnderWine()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// --- The program and its log --------------------------------------------

const wchar_t kLogFolder[] = L"C:\\Kolbrith\\Logs";
const wchar_t kLogFile[] = L"C:\\Kolbrith\\Logs\\Tavrelon.LOG";
const wchar_t kLogSection[] = L"Tavrelon_Logs";

// A file built into the same folder as the tests.
inline std::wstring BesideTests(const wchar_t* name)
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring result(path, length);
    return result.substr(0, result.find_last_of(L'\\') + 1) + name;
}

inline std::wstring ProgramPath()
{
    return BesideTests(L"Tavrelon.exe");
}

// Runs a command line to its end and gives its exit code, or -1 if it
// could not be started.
inline long RunCommand(std::wstring command)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<long>(code);
}

// Runs Tavrelon.exe to its end.
inline long RunProgram()
{
    return RunCommand(L"\"" + ProgramPath() + L"\"");
}

inline bool PathExists(const wchar_t* path)
{
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

// What stands at the log folder path before a run.
enum class LogFolder
{
    Absent,
    Empty,
    PlainFile,
};

inline void WriteFileBytes(const wchar_t* path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

inline std::string ReadFileBytes(const wchar_t* path)
{
    std::string bytes;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

// Clears whatever a previous test left at the log path, then sets it up.
inline void PrepareLogFolder(LogFolder state)
{
    DeleteFileW(kLogFile);
    RemoveDirectoryW(kLogFolder);
    DeleteFileW(kLogFolder);
    CreateDirectoryW(L"C:\\Kolbrith", nullptr);
    if (state == LogFolder::Empty)
        CreateDirectoryW(kLogFolder, nullptr);
    else if (state == LogFolder::PlainFile)
        WriteFileBytes(kLogFolder, "not a folder\r\n");
}

// A log section's key=value entries, in file order.
using Entries = std::vector<std::pair<std::wstring, std::wstring>>;

// The log's entries in file order, as the profile service reads them back.
// The service trims blanks around a value, so messages are compared with
// Trimmed().
inline Entries ReadSection(const wchar_t* section = kLogSection)
{
    Entries entries;
    wchar_t keys[4096];
    const DWORD length = GetPrivateProfileStringW(section, nullptr, L"", keys, 4096, kLogFile);
    for (const wchar_t* key = keys; key < keys + length && *key; key += wcslen(key) + 1)
    {
        wchar_t value[512];
        GetPrivateProfileStringW(section, key, L"", value, 512, kLogFile);
        entries.emplace_back(key, value);
    }
    return entries;
}

inline std::wstring Trimmed(const std::wstring& text)
{
    const size_t first = text.find_first_not_of(L' ');
    const size_t last = text.find_last_not_of(L' ');
    return first == std::wstring::npos ? std::wstring() : text.substr(first, last - first + 1);
}

// The section a run is expected to leave: Log#1, Log#2, ... holding the
// given messages in order, trimmed as they read back.
inline Entries NumberedEntries(const std::vector<std::wstring>& messages)
{
    Entries entries;
    for (size_t i = 0; i < messages.size(); ++i)
        entries.emplace_back(L"Log#" + std::to_wstring(i + 1), Trimmed(messages[i]));
    return entries;
}

} // namespace test
