#include "locale_sync.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <random>
#include <wctype.h>

namespace {

using test::Missing;
using test::Raw;
using test::StoredValue;
using test::Sz;
using test::Utf16;

// Each case works in a scratch key of its own under HKCU.
std::wstring ScratchKey()
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name)
        if (c == '/')
            c = '.';
    return L"Software\\TavrelonTests\\" + std::wstring(name.begin(), name.end());
}

LocaleLocation ScratchLocation(const std::wstring& subKey)
{
    return {HKEY_CURRENT_USER, subKey.c_str(), {}};
}

class ScratchKeyTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    }
    void TearDown() override
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    }

    const std::wstring key = ScratchKey();
};

struct SyncCase
{
    const char* name;
    StoredValue stored;
    const wchar_t* target;
    SyncOutcome outcome;
    StoredValue after;  // what the value must hold once the call returns
};

void PrintTo(const SyncCase& c, std::ostream* out)
{
    *out << c.name;
}

class SyncLocaleValueTest : public ScratchKeyTest, public ::testing::WithParamInterface<SyncCase>
{
};

TEST_P(SyncLocaleValueTest, GivesOutcomeAndLeavesValue)
{
    const SyncCase& c = GetParam();
    ASSERT_TRUE(test::StoreValue(HKEY_CURRENT_USER, key.c_str(), c.stored));
    const long handles = test::OwnHandleCount();
    ASSERT_GT(handles, 0);

    EXPECT_EQ(c.outcome, SyncLocaleValue(ScratchLocation(key), c.target));
    EXPECT_EQ(handles, test::OwnHandleCount()) << "a key was left open";
    EXPECT_EQ(c.after, test::ReadValue(HKEY_CURRENT_USER, key.c_str()));
}

const StoredValue k409 = Sz(L"00000409");

// A 260-byte read holds 129 characters and a terminator, or 130 without one.
const std::wstring k129(129, L'7');
const std::wstring k130(130, L'7');

const SyncCase kCases[] = {
    {"Equal", k409, L"00000409", AlreadySet, k409},
    {"EqualWithBlanksAroundIsLeftAsStored", Sz(L" \t00000409\r\n "), L"00000409", AlreadySet, Sz(L" \t00000409\r\n ")},
    {"OtherLetterCaseIsEqual", Sz(L"00000C0A"), L"00000c0a", AlreadySet, Sz(L"00000C0A")},
    {"DifferentIsReplaced", Sz(L"00000407"), L"00000409", Modified, k409},
    // The whole value is compared, not only as much of it as the target.
    {"TargetFollowedByMoreIsReplaced", Sz(L"00000409x"), L"00000409", Modified, k409},
    {"TargetBlankAndMoreIsReplaced", Sz(L"00000409 0"), L"00000409", Modified, k409},
    {"TargetPrefixIsReplaced", Sz(L"0000040"), L"00000409", Modified, k409},
    {"EmptyIsLeftAlone", Sz(L""), L"00000409", LeftAlone, Sz(L"")},
    {"ZeroBytesIsLeftAlone", Raw(REG_SZ, {}), L"00000409", LeftAlone, Raw(REG_SZ, {})},
    {"BlanksOnlyIsLeftAlone", Sz(L" \t \u3000 "), L"00000409", LeftAlone, Sz(L" \t \u3000 ")},
    {"NulAsFirstCharacterIsEmpty", Raw(REG_SZ, Utf16(std::wstring(L"\0" L"00000407", 9))), L"00000409", LeftAlone,
     Raw(REG_SZ, Utf16(std::wstring(L"\0" L"00000407", 9)))},
    {"ReadStopsAtFirstNul", Raw(REG_MULTI_SZ, Utf16(std::wstring(L"00000409\0" L"00000407\0", 18))), L"00000409",
     AlreadySet, Raw(REG_MULTI_SZ, Utf16(std::wstring(L"00000409\0" L"00000407\0", 18)))},
    {"OddTrailingByteIsNotACharacter", Raw(REG_BINARY, [] { auto b = Utf16(L"00000409", false); b.push_back('7'); return b; }()),
     L"00000409", AlreadySet, Raw(REG_BINARY, [] { auto b = Utf16(L"00000409", false); b.push_back('7'); return b; }())},
    {"UnterminatedBinaryIsReadAsText", Raw(REG_BINARY, Utf16(L"00000409", false)), L"00000409", AlreadySet,
     Raw(REG_BINARY, Utf16(L"00000409", false))},
    {"NumberIsReplacedBySz", Raw(REG_DWORD, {0x30, 0x00, 0x37, 0x00}), L"00000409", Modified, k409},
    {"ExpandSzIsComparedAsText", Raw(REG_EXPAND_SZ, Utf16(L"00000407")), L"00000409", Modified, k409},
    {"Longest129CharactersAreRead", Sz(k129), L"00000409", Modified, k409},
    {"From130CharactersTheReadFails", Sz(k130), L"00000409", Failed, Sz(k130)},
    // 260 bytes and no terminator: the whole buffer is the value, and the
    // blanks that pad it are trimmed like any others.
    {"Exactly260BytesWithoutNul", Raw(REG_SZ, Utf16(L"00000409" + std::wstring(122, L' '), false)), L"00000409",
     AlreadySet, Raw(REG_SZ, Utf16(L"00000409" + std::wstring(122, L' '), false))},
    {"Exactly260BytesWithoutNulDifferent", Raw(REG_SZ, Utf16(k130, false)), L"00000409", Modified, k409},
    {"MissingValueIsNotCreated", Missing(), L"00000409", Failed, Missing()},
};

INSTANTIATE_TEST_SUITE_P(Values, SyncLocaleValueTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScratchKeyTest, MissingKeyFailsAndIsNotCreated)
{
    EXPECT_EQ(Failed, SyncLocaleValue(ScratchLocation(key), L"00000409"));
    EXPECT_FALSE(test::KeyExists(HKEY_CURRENT_USER, key.c_str()));
}

// Rights short of full access: read alone, and read and write without
// DELETE, WRITE_DAC or WRITE_OWNER. Either way the open must fail.
class WithoutFullAccess : public ScratchKeyTest, public ::testing::WithParamInterface<REGSAM>
{
};

TEST_P(WithoutFullAccess, FailsAndLeavesValueUnchanged)
{
    const StoredValue stored = Sz(L"00000407");
    ASSERT_TRUE(test::StoreValue(HKEY_CURRENT_USER, key.c_str(), stored));
    {
        test::RestrictedKey restricted(HKEY_CURRENT_USER, key.c_str(), GetParam());
        ASSERT_TRUE(restricted.applied());
        HKEY probe;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, GetParam(), &probe));
        RegCloseKey(probe);
        ASSERT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_ALL_ACCESS, &probe));

        const long handles = test::OwnHandleCount();
        EXPECT_EQ(Failed, SyncLocaleValue(ScratchLocation(key), L"00000409"));
        EXPECT_EQ(handles, test::OwnHandleCount());
    }
    EXPECT_EQ(stored, test::ReadValue(HKEY_CURRENT_USER, key.c_str()));
}

INSTANTIATE_TEST_SUITE_P(Rights, WithoutFullAccess, ::testing::Values(KEY_READ, KEY_READ | KEY_WRITE),
                         [](const auto& info) { return std::string(info.param == KEY_READ ? "ReadOnly" : "ReadWrite"); });

} // namespace

namespace {

// --- Many random stored values against a small model of the rules --------

// The model: what SyncLocaleValue must give for the value as stored.
SyncOutcome ModelOutcome(const StoredValue& stored, const std::wstring& target)
{
    if (stored.bytes.size() > 260)
        return Failed;
    std::wstring text;
    for (size_t i = 0; i + 1 < stored.bytes.size(); i += 2)
    {
        const wchar_t unit = static_cast<wchar_t>(stored.bytes[i] | (stored.bytes[i + 1] << 8));
        if (unit == L'\0')
            break;
        text += unit;
    }
    size_t first = 0;
    size_t last = text.size();
    while (first < last && iswspace(text[first]))
        ++first;
    while (last > first && iswspace(text[last - 1]))
        --last;
    text = text.substr(first, last - first);
    if (text.empty())
        return LeftAlone;
    auto fold = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; };
    if (text.size() == target.size() && std::equal(text.begin(), text.end(), target.begin(),
                                                    [&](wchar_t a, wchar_t b) { return fold(a) == fold(b); }))
        return AlreadySet;
    return Modified;
}

class RandomValues : public ScratchKeyTest
{
};

TEST_F(RandomValues, MatchTheModel)
{
    // Fixed, and printed, so that a failure can be replayed.
    const unsigned start = 20261211;
    std::cout << "random values from start value " << start << "\n";
    std::mt19937 random(start);
    auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };

    const DWORD types[] = {REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_BINARY, REG_DWORD, REG_NONE};
    // Blanks of several kinds (the first nine), NUL, lone surrogates, the target's digits in
    // both cases, and other text.
    const wchar_t units[] = {L' ',    L'\t',   L'\r',   L'\n',   L'\v',   L'\f',   0x00A0, 0x2003, 0x3000,
                             L'\0',   0xD800,  0xDBFF,  0xDC00,  0xDFFF,  L'0',    L'4',    L'9',    L'c',
                             L'C',    L'a',    L'A',    L'x',    0x00E9,  0x4E2D,  0xFFFF};
    const std::wstring target = L"00000c0a";

    for (int round = 0; round < 1000; ++round)
    {
        // 0 to 300 bytes, often close to the 260-byte limit.
        const size_t length = pick(4) == 0 ? 255 + pick(11) : pick(301);
        std::wstring text;
        // Filling units: any of them, or, after a copy of the target, only
        // blanks and NULs.
        size_t fill = sizeof(units) / sizeof(units[0]);
        if (pick(3) == 0)
        {
            // The target itself in random letter case, with blanks around.
            for (size_t n = pick(4); n > 0; --n)
                text += units[pick(9)];
            for (wchar_t c : target)
                text += pick(2) ? static_cast<wchar_t>(towupper(c)) : c;
            fill = 10;
        }
        while (text.size() * sizeof(wchar_t) < length)
            text += units[pick(fill)];
        std::vector<BYTE> bytes = Utf16(text, false);
        bytes.resize(length);  // an odd length cuts the last unit in half

        ASSERT_TRUE(test::StoreValue(HKEY_CURRENT_USER, key.c_str(), Raw(types[pick(6)], bytes)));
        // The model works on the value as the registry keeps it.
        const StoredValue stored = test::ReadValue(HKEY_CURRENT_USER, key.c_str());
        const SyncOutcome expected = ModelOutcome(stored, target);

        ASSERT_EQ(expected, SyncLocaleValue(ScratchLocation(key), target.c_str()))
            << "round " << round << ", stored " << ::testing::PrintToString(stored);
        ASSERT_EQ(expected == Modified ? Sz(target) : stored, test::ReadValue(HKEY_CURRENT_USER, key.c_str()))
            << "round " << round;
    }
}

} // namespace
