#include "locale_sync.h"

#include <wchar.h>
#include <wctype.h>

namespace {

// The value is read into a fixed buffer; anything larger is a read failure.
const DWORD kReadBytes = 260;
const DWORD kReadUnits = kReadBytes / sizeof(wchar_t);

// Closes the key on every path out of SyncLocaleValue.
struct KeyGuard
{
    HKEY key = nullptr;

    KeyGuard() = default;
    KeyGuard(const KeyGuard&) = delete;
    KeyGuard& operator=(const KeyGuard&) = delete;
    ~KeyGuard()
    {
        if (key)
            RegCloseKey(key);
    }
};

} // namespace

SyncOutcome SyncLocaleValue(const LocaleLocation& location, const wchar_t* target)
{
    KeyGuard guard;
    if (RegOpenKeyExW(location.root, location.subKey, 0, KEY_ALL_ACCESS, &guard.key) != ERROR_SUCCESS)
    {
        guard.key = nullptr;
        return Failed;
    }

    // One unit more than is read, so the value can always be terminated.
    wchar_t stored[kReadUnits + 1];
    DWORD type = 0;
    DWORD size = kReadBytes;
    if (RegQueryValueExW(guard.key, L"Locale", nullptr, &type, reinterpret_cast<BYTE*>(stored), &size) != ERROR_SUCCESS)
        return Failed;

    // The registry type is not trusted: the bytes are taken as UTF-16 up to
    // the first NUL, and an odd trailing byte is not a whole unit.
    size_t length = 0;
    const size_t units = size / sizeof(wchar_t);
    while (length < units && stored[length] != L'\0')
        ++length;
    stored[length] = L'\0';

    wchar_t* current = stored;
    while (*current && iswspace(*current))
        ++current;
    wchar_t* end = stored + length;
    while (end > current && iswspace(end[-1]))
        --end;
    *end = L'\0';

    if (*current == L'\0')
        return LeftAlone;
    if (_wcsicmp(current, target) == 0)
        return AlreadySet;

    const DWORD bytes = static_cast<DWORD>((wcslen(target) + 1) * sizeof(wchar_t));
    if (RegSetValueExW(guard.key, L"Locale", 0, REG_SZ, reinterpret_cast<const BYTE*>(target), bytes) != ERROR_SUCCESS)
        return Failed;
    return Modified;
}
