#include "run_sequence.h"

#include "locale_sync.h"
#include "step_log.h"

#include <stdio.h>

namespace {

// Visited in this order; location 2 is processed whatever location 1 gave.
const LocaleLocation kLocations[] = {
    {HKEY_CURRENT_USER,
     L"Control Panel\\International",
     {L" Modified the locale under HKEY_CURRENT_USER subkey successfully.",
      L" Locale was already set correctly under HKEY_CURRENT_USER subkey. Do nothing!",
      L" ERROR => Failed to modify the locale under HKEY_CURRENT_USER subkey."}},
    {HKEY_USERS,
     L".DEFAULT\\Control Panel\\International",
     {L" Modified the locale under HKEY_USERS subkey successfully.",
      L" Locale was already set correctly under HKEY_USERS subkey. Do nothing!",
      L" ERROR => Failed to modify the locale under HKEY_USERS subkey."}},
};

const wchar_t kLanguageFormat[] = L" UserDefaultUILanguage => \"%s\"";

} // namespace

TargetLocale FormatTargetLocale(LANGID language)
{
    TargetLocale target = {};
    _snwprintf(target.text, sizeof(target.text) / sizeof(target.text[0]), L"%08x", static_cast<unsigned>(language));
    return target;
}

int RunLocaleRepair()
{
    StartStepLog();

    const TargetLocale target = FormatTargetLocale(GetUserDefaultUILanguage());
    // The format's "%s" becomes the eight digits, so this always fits.
    wchar_t languageMessage[sizeof(kLanguageFormat) / sizeof(wchar_t) + 8];
    _snwprintf(languageMessage, sizeof(languageMessage) / sizeof(languageMessage[0]), kLanguageFormat, target.text);
    LogStep(languageMessage);

    for (const LocaleLocation& location : kLocations)
    {
        const SyncOutcome outcome = SyncLocaleValue(location, target.text);
        if (outcome != LeftAlone)
            LogStep(location.messages[outcome]);
    }

    LogStep(L" Tavrelon util completes!");
    return 1;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    return RunLocaleRepair();
}
