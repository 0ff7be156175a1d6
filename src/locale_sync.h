#pragma once

#include <windows.h>

// Outcome of one location's check. The order matters: a location's
// messages are indexed by the first three values, and LeftAlone, which is
// never reported, comes last.
enum SyncOutcome
{
    Modified,
    AlreadySet,
    Failed,
    LeftAlone,
};

// One registry place of the "Locale" value, with the message the run logs
// for each reportable outcome.
struct LocaleLocation
{
    HKEY root;
    const wchar_t* subKey;
    const wchar_t* messages[LeftAlone];
};

// Makes the "Locale" value under location.subKey agree with target, a
// NUL-terminated locale text. Never creates a key or a value.
SyncOutcome SyncLocaleValue(const LocaleLocation& location, const wchar_t* target);
