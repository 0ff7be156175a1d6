#include "run_sequence.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using test::Entries;
using test::LogFolder;
using test::Missing;
using test::StoredValue;
using test::Sz;

struct FormatCase
{
    LANGID language;
    const wchar_t* text;
};

TEST(FormatTargetLocale, EightLowercaseHexDigits)
{
    const FormatCase cases[] = {
        {0x0409, L"00000409"}, {0x0C0A, L"00000c0a"}, {0x0407, L"00000407"}, {0x7C04, L"00007c04"},
        {0x0001, L"00000001"}, {0x0000, L"00000000"}, {0xFFFF, L"0000ffff"},
    };
    for (const FormatCase& c : cases)
        EXPECT_STREQ(c.text, FormatTargetLocale(c.language).text) << std::hex << c.language;
}

// --- The whole program, run as an administrator would run it -------------

const wchar_t kUserKey[] = L"Control Panel\\International";
const wchar_t kDefaultKey[] = L".DEFAULT\\Control Panel\\International";

const wchar_t kFolder[] = L" C:\\Kolbrith\\Logs folder exists. Creating the logfile...";
const wchar_t kLanguage409[] = L" UserDefaultUILanguage => \"00000409\"";
const wchar_t kLanguageC0A[] = L" UserDefaultUILanguage => \"00000c0a\"";
const wchar_t kUserModified[] = L" Modified the locale under HKEY_CURRENT_USER subkey successfully.";
const wchar_t kUserAlreadySet[] = L" Locale was already set correctly under HKEY_CURRENT_USER subkey. Do nothing!";
const wchar_t kUserFailed[] = L" ERROR => Failed to modify the locale under HKEY_CURRENT_USER subkey.";
const wchar_t kDefaultModified[] = L" Modified the locale under HKEY_USERS subkey successfully.";
const wchar_t kDefaultAlreadySet[] = L" Locale was already set correctly under HKEY_USERS subkey. Do nothing!";
const wchar_t kDefaultFailed[] = L" ERROR => Failed to modify the locale under HKEY_USERS subkey.";
const wchar_t kCompletes[] = L" Tavrelon util completes!";

// The entries an earlier, five-entry run left, and a section of someone else's.
const char kOlderLog[] =
    "[Tavrelon_Logs]\r\nLog#1=old 1\r\nLog#2=old 2\r\nLog#3=old 3\r\nLog#4=old 4\r\nLog#5=old 5\r\n"
    "[Earlier]\r\nNote=kept\r\n";

struct Scenario
{
    const char* name;
    LogFolder folder;
    bool olderLog;          // an earlier run's log file is already there
    StoredValue user;       // HKCU before the run
    StoredValue deflt;      // HKU\.DEFAULT before the run
    bool defaultReadOnly;   // the account may not open HKU\.DEFAULT with full access
    StoredValue userAfter;
    StoredValue defaultAfter;
    Entries log;            // the Tavrelon_Logs section after the run; empty: no log file
};

void PrintTo(const Scenario& s, std::ostream* out)
{
    *out << s.name;
}

Entries Numbered(std::vector<std::wstring> messages, Entries kept = {})
{
    Entries entries = test::NumberedEntries(messages);
    entries.insert(entries.end(), kept.begin(), kept.end());
    return entries;
}

const StoredValue k407 = Sz(L"00000407");
const StoredValue k409 = Sz(L"00000409");
const StoredValue kTooLong = Sz(std::wstring(140, L'4'));

const Scenario kScenarios[] = {
    {"BothCorrected", LogFolder::Empty, false, k407, k407, false, k409, k409,
     Numbered({kFolder, kLanguage409, kUserModified, kDefaultModified, kCompletes})},
    {"NoLogFolder", LogFolder::Absent, false, k407, k407, false, k409, k409, {}},
    {"BothAlreadySet", LogFolder::Empty, false, Sz(L" 00000409 "), k409, false, Sz(L" 00000409 "), k409,
     Numbered({kFolder, kLanguage409, kUserAlreadySet, kDefaultAlreadySet, kCompletes})},
    {"UserBlankIsLeftAloneWithoutGap", LogFolder::Empty, false, Sz(L"   "), k407, false, Sz(L"   "), k409,
     Numbered({kFolder, kLanguage409, kDefaultModified, kCompletes})},
    {"DefaultProfileNotWritable", LogFolder::Empty, false, k407, k407, true, k409, k407,
     Numbered({kFolder, kLanguage409, kUserModified, kDefaultFailed, kCompletes})},
    {"BothFail", LogFolder::Empty, false, kTooLong, Missing(), false, kTooLong, Missing(),
     Numbered({kFolder, kLanguage409, kUserFailed, kDefaultFailed, kCompletes})},
    {"PlainFileForLogFolder", LogFolder::PlainFile, false, k407, k407, false, k409, k409, {}},
    {"SecondRunKeepsLaterEntriesAndSections", LogFolder::Empty, true, Sz(L""), k407, false, Sz(L""), k409,
     Numbered({kFolder, kLanguage409, kDefaultModified, kCompletes}, {{L"Log#5", L"old 5"}})},
};

// Run under LANG=es_ES.UTF-8, where the UI language is 0x0C0A.
const Scenario kSpanishScenarios[] = {
    {"UpperCaseEqualAndLowerCaseWritten", LogFolder::Empty, false, Sz(L"00000C0A"), Sz(L"0000040a"), false,
     Sz(L"00000C0A"), Sz(L"00000c0a"), Numbered({kFolder, kLanguageC0A, kUserAlreadySet, kDefaultModified, kCompletes})},
};

class ProgramRun : public ::testing::TestWithParam<Scenario>
{
protected:
    void TearDown() override
    {
        test::PrepareLogFolder(LogFolder::Absent);
    }
};

TEST_P(ProgramRun, ExitsWithOneAndLeavesRegistryAndLog)
{
    const Scenario& s = GetParam();
    test::PrepareLogFolder(s.folder);
    if (s.olderLog)
        test::WriteFileBytes(test::kLogFile, kOlderLog);
    const std::string plainFile = test::ReadFileBytes(test::kLogFolder);
    ASSERT_TRUE(test::StoreValue(HKEY_CURRENT_USER, kUserKey, s.user));
    ASSERT_TRUE(test::StoreValue(HKEY_USERS, kDefaultKey, s.deflt));

    std::optional<test::RestrictedKey> readOnly;
    if (s.defaultReadOnly)
    {
        readOnly.emplace(HKEY_USERS, kDefaultKey, KEY_READ);
        ASSERT_TRUE(readOnly->applied());
    }
    const long exitCode = test::RunProgram();
    readOnly.reset();

    EXPECT_EQ(1, exitCode);
    EXPECT_EQ(s.userAfter, test::ReadValue(HKEY_CURRENT_USER, kUserKey));
    EXPECT_EQ(s.defaultAfter, test::ReadValue(HKEY_USERS, kDefaultKey));
    if (!s.log.empty())
    {
        EXPECT_EQ(s.log, test::ReadSection());
        if (s.olderLog)
            EXPECT_EQ((Entries{{L"Note", L"kept"}}), test::ReadSection(L"Earlier"));
    }
    else
    {
        EXPECT_FALSE(test::PathExists(test::kLogFile));
        // Nothing is created, and a plain file in the folder's place is untouched.
        EXPECT_EQ(s.folder != LogFolder::Absent, test::PathExists(test::kLogFolder));
        EXPECT_EQ(plainFile, test::ReadFileBytes(test::kLogFolder));
    }
}

auto ScenarioName = [](const auto& info) { return std::string(info.param.name); };

INSTANTIATE_TEST_SUITE_P(EnUS, ProgramRun, ::testing::ValuesIn(kScenarios), ScenarioName);
INSTANTIATE_TEST_SUITE_P(EsES, ProgramRun, ::testing::ValuesIn(kSpanishScenarios), ScenarioName);

// The Spanish scenarios only mean something under that UI language.
TEST(EsES, UiLanguageIsSpanish)
{
    EXPECT_EQ(0x0C0A, GetUserDefaultUILanguage());
}

} // namespace
