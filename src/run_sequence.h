#pragma once

#include <windows.h>

// Eight lowercase hex digits and a terminator.
struct TargetLocale
{
    wchar_t text[9];
};

// The locale text for a UI language identifier: 0x0C0A gives "00000c0a".
TargetLocale FormatTargetLocale(LANGID language);

// The whole run: log start, target locale, both locations, completion.
// Always returns 1, the program's exit code.
int RunLocaleRepair();
