// Tavrelon.msi installed, run and removed by Wine's own msiexec.

#include "test_support.h"
#include "version.h"

#include <gtest/gtest.h>
#include <msi.h>
#include <msiquery.h>

#include <algorithm>

namespace {

using test::StoredValue;
using test::Sz;

const wchar_t kUserKey[] = L"Control Panel\\International";
const wchar_t kDefaultKey[] = L".DEFAULT\\Control Panel\\International";
const StoredValue k407 = Sz(L"00000407");
const StoredValue k409 = Sz(L"00000409");

// The packages are built beside the tests: this version's, and the same
// program as a later release (third version field raised).
const std::wstring kPackage = test::BesideTests(L"Tavrelon.msi");
const std::wstring kLaterPackage = test::BesideTests(L"Tavrelon-later.msi");

// One value of a package's table, read through the installer's own API.
std::wstring QueryPackage(const std::wstring& package, const wchar_t* sql)
{
    std::wstring result;
    MSIHANDLE database = 0, view = 0, record = 0;
    if (MsiOpenDatabaseW(package.c_str(), MSIDBOPEN_READONLY, &database) == ERROR_SUCCESS &&
        MsiDatabaseOpenViewW(database, sql, &view) == ERROR_SUCCESS && MsiViewExecute(view, 0) == ERROR_SUCCESS &&
        MsiViewFetch(view, &record) == ERROR_SUCCESS)
    {
        wchar_t value[512];
        DWORD length = 512;
        if (MsiRecordGetStringW(record, 1, value, &length) == ERROR_SUCCESS)
            result.assign(value, length);
    }
    for (MSIHANDLE handle : {record, view, database})
        if (handle)
            MsiCloseHandle(handle);
    return result;
}

std::wstring PackageProperty(const std::wstring& package, const std::wstring& name)
{
    return QueryPackage(package, (L"SELECT Value FROM Property WHERE Property='" + name + L"'").c_str());
}

// Product codes installed under the package's upgrade code.
std::vector<std::wstring> InstalledProducts()
{
    const std::wstring upgradeCode = PackageProperty(kPackage, L"UpgradeCode");
    std::vector<std::wstring> products;
    wchar_t product[39];
    for (DWORD i = 0; MsiEnumRelatedProductsW(upgradeCode.c_str(), 0, i, product) == ERROR_SUCCESS; ++i)
        products.emplace_back(product);
    return products;
}

// A silent msiexec run: ACTION is /i or /x, TARGET a package or product code.
long Msiexec(const wchar_t* action, const std::wstring& target)
{
    return test::RunCommand(std::wstring(L"msiexec ") + action + L" \"" + target + L"\" /qn");
}

// The Active Setup key, as the package names it (32-bit registry view).
std::wstring ActiveSetupKey()
{
    std::wstring key = QueryPackage(kPackage, L"SELECT `Key` FROM `Registry` WHERE `Name`='StubPath'");
    while (!key.empty() && key.back() == L'\\')
        key.pop_back();
    return key;
}

std::wstring InstallFolder()
{
    wchar_t folder[MAX_PATH];
    GetEnvironmentVariableW(L"ProgramFiles", folder, MAX_PATH);  // Program Files (x86) on 64-bit Windows
    return std::wstring(folder) + L"\\Tavrelon";
}

class Package : public ::testing::Test
{
protected:
    // Nothing of Tavrelon installed before or after.
    void SetUp() override
    {
        RemoveAll();
        ASSERT_TRUE(InstalledProducts().empty());
    }
    void TearDown() override
    {
        RemoveAll();
        test::PrepareLogFolder(test::LogFolder::Absent);
    }
    static void RemoveAll()
    {
        for (const std::wstring& product : InstalledProducts())
            Msiexec(L"/x", product);
    }
};

TEST_F(Package, InstallCorrectsLogonScreenAndRegistersEveryUser)
{
    test::PrepareLogFolder(test::LogFolder::Empty);
    ASSERT_TRUE(test::StoreValue(HKEY_CURRENT_USER, kUserKey, k409));
    ASSERT_TRUE(test::StoreValue(HKEY_USERS, kDefaultKey, k407));

    ASSERT_EQ(0, Msiexec(L"/i", kPackage));

    const std::wstring installed = InstallFolder() + L"\\Tavrelon.exe";
    EXPECT_EQ(test::ReadFileBytes(test::ProgramPath().c_str()), test::ReadFileBytes(installed.c_str()));

    // Active Setup's entry, exactly.
    const std::wstring key = ActiveSetupKey();
    ASSERT_EQ(0u, key.find(L"SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\{")) << key;
    const wchar_t* as = key.c_str();
    EXPECT_EQ(Sz(L"Tavrelon"), test::ReadValue(HKEY_LOCAL_MACHINE, as, nullptr));
    EXPECT_EQ(Sz(L"\"" + installed + L"\""), test::ReadValue(HKEY_LOCAL_MACHINE, as, L"StubPath"));
    std::wstring version = TEXT(TAVRELON_VERSION_TEXT);
    version.erase(std::remove(version.begin(), version.end(), L' '), version.end());
    EXPECT_EQ(Sz(version), test::ReadValue(HKEY_LOCAL_MACHINE, as, L"Version"));
    EXPECT_EQ(test::Raw(REG_DWORD, {1, 0, 0, 0}), test::ReadValue(HKEY_LOCAL_MACHINE, as, L"IsInstalled"));

    // The run at install corrected the logon screen's profile and logged it.
    EXPECT_EQ(k409, test::ReadValue(HKEY_USERS, kDefaultKey));
    const test::Entries log = test::ReadSection();
    ASSERT_EQ(5u, log.size());
    EXPECT_EQ(L"Modified the locale under HKEY_USERS subkey successfully.", log[3].second);

    // What Active Setup runs at each user's next logon, as the registry holds it.
    ASSERT_TRUE(test::StoreValue(HKEY_CURRENT_USER, kUserKey, k407));
    const StoredValue stub = test::ReadValue(HKEY_LOCAL_MACHINE, as, L"StubPath");
    std::wstring command(reinterpret_cast<const wchar_t*>(stub.bytes.data()));
    EXPECT_EQ(1, test::RunCommand(command));
    EXPECT_EQ(k409, test::ReadValue(HKEY_CURRENT_USER, kUserKey));
}

TEST_F(Package, UninstallLeavesNothingBehind)
{
    ASSERT_EQ(0, Msiexec(L"/i", kPackage));
    ASSERT_TRUE(test::PathExists(InstallFolder().c_str()));
    ASSERT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, ActiveSetupKey().c_str()));

    EXPECT_EQ(0, Msiexec(L"/x", kPackage));
    EXPECT_FALSE(test::PathExists((InstallFolder() + L"\\Tavrelon.exe").c_str()));
    EXPECT_FALSE(test::PathExists(InstallFolder().c_str()));
    EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, ActiveSetupKey().c_str()));
    EXPECT_TRUE(InstalledProducts().empty());
}

TEST_F(Package, LaterReleaseUpgradesInPlaceAndEarlierIsRefused)
{
    const std::wstring laterProduct = PackageProperty(kLaterPackage, L"ProductCode");
    ASSERT_NE(PackageProperty(kPackage, L"ProductCode"), laterProduct);

    ASSERT_EQ(0, Msiexec(L"/i", kPackage));
    EXPECT_EQ(0, Msiexec(L"/i", kLaterPackage));
    EXPECT_EQ(std::vector<std::wstring>{laterProduct}, InstalledProducts());
    EXPECT_TRUE(test::PathExists((InstallFolder() + L"\\Tavrelon.exe").c_str()));

    // The earlier package over the later one: the launch condition refuses.
    EXPECT_EQ(ERROR_INSTALL_FAILURE, Msiexec(L"/i", kPackage));
    EXPECT_EQ(std::vector<std::wstring>{laterProduct}, InstalledProducts());
}

} // namespace
