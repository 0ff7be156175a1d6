// The executable as Windows sees it: PE header, imports and resources.

#include "test_support.h"
#include "version.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <tuple>

namespace {

// The file's bytes, with RVAs mapped through its section table.
class PeFile
{
public:
    explicit PeFile(const std::wstring& path)
    {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return;
        bytes_.resize(GetFileSize(file, nullptr));
        DWORD read = 0;
        ReadFile(file, bytes_.data(), static_cast<DWORD>(bytes_.size()), &read, nullptr);
        CloseHandle(file);
    }

    bool valid() const
    {
        return bytes_.size() > sizeof(IMAGE_DOS_HEADER) && dos()->e_magic == IMAGE_DOS_SIGNATURE &&
               nt()->Signature == IMAGE_NT_SIGNATURE;
    }
    const IMAGE_DOS_HEADER* dos() const { return reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes_.data()); }
    const IMAGE_NT_HEADERS32* nt() const
    {
        return reinterpret_cast<const IMAGE_NT_HEADERS32*>(bytes_.data() + dos()->e_lfanew);
    }

    const BYTE* at(DWORD rva) const
    {
        const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt());
        for (WORD i = 0; i < nt()->FileHeader.NumberOfSections; ++i, ++section)
            if (rva >= section->VirtualAddress && rva < section->VirtualAddress + section->SizeOfRawData)
                return bytes_.data() + section->PointerToRawData + (rva - section->VirtualAddress);
        return nullptr;
    }

    // Every imported function as "DLL!name", the DLL upper-cased; imports
    // by ordinal show as "DLL!#n".
    std::set<std::string> importedFunctions() const
    {
        std::set<std::string> functions;
        const IMAGE_DATA_DIRECTORY& directory = nt()->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(at(directory.VirtualAddress));
        for (; descriptor && descriptor->Name; ++descriptor)
        {
            std::string dll = reinterpret_cast<const char*>(at(descriptor->Name));
            std::transform(dll.begin(), dll.end(), dll.begin(), ::toupper);
            const DWORD lookup = descriptor->OriginalFirstThunk ? descriptor->OriginalFirstThunk : descriptor->FirstThunk;
            for (auto* thunk = reinterpret_cast<const IMAGE_THUNK_DATA32*>(at(lookup)); thunk && thunk->u1.AddressOfData; ++thunk)
            {
                if (IMAGE_SNAP_BY_ORDINAL32(thunk->u1.Ordinal))
                    functions.insert(dll + "!#" + std::to_string(IMAGE_ORDINAL32(thunk->u1.Ordinal)));
                else
                    functions.insert(dll + "!" + reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(at(thunk->u1.AddressOfData))->Name);
            }
        }
        return functions;
    }

    std::vector<IMAGE_SECTION_HEADER> sections() const
    {
        const IMAGE_SECTION_HEADER* first = IMAGE_FIRST_SECTION(nt());
        return {first, first + nt()->FileHeader.NumberOfSections};
    }

private:
    std::vector<BYTE> bytes_;
};

// Tavrelon.exe as read from disk.
class Executable : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pe.valid());
    }
    const PeFile pe{test::ProgramPath()};
};

TEST_F(Executable, IsA32BitGuiProgramForWindows2000)
{
    const IMAGE_NT_HEADERS32* nt = pe.nt();
    EXPECT_EQ(IMAGE_FILE_MACHINE_I386, nt->FileHeader.Machine);
    EXPECT_EQ(IMAGE_NT_OPTIONAL_HDR32_MAGIC, nt->OptionalHeader.Magic);
    EXPECT_EQ(IMAGE_SUBSYSTEM_WINDOWS_GUI, nt->OptionalHeader.Subsystem);
    EXPECT_EQ(5, nt->OptionalHeader.MajorSubsystemVersion);
    EXPECT_EQ(0, nt->OptionalHeader.MinorSubsystemVersion);
    EXPECT_EQ(5, nt->OptionalHeader.MajorOperatingSystemVersion);
    EXPECT_EQ(0, nt->OptionalHeader.MinorOperatingSystemVersion);
}

TEST_F(Executable, ImportsOnlySystemDlls)
{
    std::set<std::string> dlls;
    for (const std::string& function : pe.importedFunctions())
        dlls.insert(function.substr(0, function.find('!')));
    EXPECT_EQ((std::set<std::string>{"ADVAPI32.DLL", "KERNEL32.DLL", "MSVCRT.DLL"}), dlls);
}

TEST_F(Executable, IsHardened)
{
    const IMAGE_NT_HEADERS32* nt = pe.nt();
    const WORD flags = nt->OptionalHeader.DllCharacteristics;
    EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE);
    EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_NX_COMPAT);
    EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_NO_SEH);
    // A dynamic base is only honoured with the relocations kept.
    EXPECT_FALSE(nt->FileHeader.Characteristics & IMAGE_FILE_RELOCS_STRIPPED);
    EXPECT_NE(0u, nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_BASERELOC].Size);
    for (const IMAGE_SECTION_HEADER& section : pe.sections())
    {
        const std::string name(reinterpret_cast<const char*>(section.Name), strnlen(reinterpret_cast<const char*>(section.Name), 8));
        const DWORD c = section.Characteristics;
        EXPECT_FALSE((c & IMAGE_SCN_MEM_WRITE) && (c & IMAGE_SCN_MEM_EXECUTE)) << name << " is writable and executable";
        EXPECT_FALSE((c & IMAGE_SCN_MEM_WRITE) && (c & IMAGE_SCN_MEM_SHARED)) << name << " is shared and writable";
    }
}

// Functions that Windows 2000 SP4's own kernel32, advapi32 and msvcrt
// export, checked by hand against that release. A new import fails the
// test below until it has been looked up and added here.
const std::set<std::string> kWindows2000Imports = {
    "ADVAPI32.DLL!RegCloseKey", "ADVAPI32.DLL!RegOpenKeyExW", "ADVAPI32.DLL!RegQueryValueExW",
    "ADVAPI32.DLL!RegSetValueExW",
    "KERNEL32.DLL!DeleteCriticalSection", "KERNEL32.DLL!EnterCriticalSection", "KERNEL32.DLL!FreeLibrary",
    "KERNEL32.DLL!GetFileAttributesW", "KERNEL32.DLL!GetLastError", "KERNEL32.DLL!GetModuleHandleA",
    "KERNEL32.DLL!GetProcAddress", "KERNEL32.DLL!GetStartupInfoW", "KERNEL32.DLL!GetUserDefaultUILanguage",
    "KERNEL32.DLL!InitializeCriticalSection", "KERNEL32.DLL!LeaveCriticalSection", "KERNEL32.DLL!LoadLibraryA",
    "KERNEL32.DLL!SetUnhandledExceptionFilter", "KERNEL32.DLL!Sleep", "KERNEL32.DLL!TlsGetValue",
    "KERNEL32.DLL!VirtualProtect", "KERNEL32.DLL!VirtualQuery", "KERNEL32.DLL!WritePrivateProfileStringW",
    "MSVCRT.DLL!__p__commode", "MSVCRT.DLL!__p__fmode", "MSVCRT.DLL!__p__wcmdln", "MSVCRT.DLL!__set_app_type",
    "MSVCRT.DLL!__setusermatherr", "MSVCRT.DLL!__wgetmainargs", "MSVCRT.DLL!__winitenv", "MSVCRT.DLL!_amsg_exit",
    "MSVCRT.DLL!_cexit", "MSVCRT.DLL!_initterm", "MSVCRT.DLL!_iob", "MSVCRT.DLL!_onexit", "MSVCRT.DLL!_snwprintf",
    "MSVCRT.DLL!_wcsicmp", "MSVCRT.DLL!abort", "MSVCRT.DLL!calloc", "MSVCRT.DLL!exit", "MSVCRT.DLL!fprintf",
    "MSVCRT.DLL!free", "MSVCRT.DLL!fwrite", "MSVCRT.DLL!iswspace", "MSVCRT.DLL!malloc", "MSVCRT.DLL!memcpy",
    "MSVCRT.DLL!signal", "MSVCRT.DLL!strlen", "MSVCRT.DLL!strncmp", "MSVCRT.DLL!vfprintf", "MSVCRT.DLL!wcslen",
};

TEST_F(Executable, ImportsOnlyWhatWindows2000Provides)
{
    const std::set<std::string> imports = pe.importedFunctions();
    ASSERT_FALSE(imports.empty());
    for (const std::string& function : imports)
        EXPECT_TRUE(kWindows2000Imports.count(function)) << function << " is not on the Windows 2000 SP4 list";
}

// Every resource the file carries, as (type, name, language).
struct ResourceId
{
    ULONG_PTR type;
    ULONG_PTR name;
    WORD language;
    bool operator<(const ResourceId& o) const
    {
        return std::tie(type, name, language) < std::tie(o.type, o.name, o.language);
    }
    bool operator==(const ResourceId& o) const
    {
        return type == o.type && name == o.name && language == o.language;
    }
};

BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR found)
{
    // Named (string) types or ids would show up as pointers, never as 16 or 24.
    reinterpret_cast<std::set<ResourceId>*>(found)->insert(
        {reinterpret_cast<ULONG_PTR>(type), reinterpret_cast<ULONG_PTR>(name), language});
    return TRUE;
}

BOOL CALLBACK AddName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR found)
{
    return EnumResourceLanguagesW(module, type, name, AddLanguage, found);
}

BOOL CALLBACK AddType(HMODULE module, LPWSTR type, LONG_PTR found)
{
    return EnumResourceNamesW(module, type, AddName, found);
}

class ExecutableResources : public ::testing::Test
{
protected:
    void SetUp() override
    {
        module = LoadLibraryExW(test::ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, module);
    }
    void TearDown() override
    {
        if (module)
            FreeLibrary(module);
    }
    HMODULE module = nullptr;
};

TEST_F(ExecutableResources, AreExactlyManifestAndVersionRecord)
{
    std::set<ResourceId> found;
    EnumResourceTypesW(module, AddType, reinterpret_cast<LONG_PTR>(&found));
    EXPECT_EQ((std::set<ResourceId>{{16, 1, 1033}, {24, 1, 1033}}), found);
}

TEST_F(ExecutableResources, ManifestAsksForNoElevation)
{
    HRSRC resource = FindResourceExW(module, MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1), 1033);
    ASSERT_NE(nullptr, resource);
    const char* data = static_cast<const char*>(LockResource(LoadResource(module, resource)));
    const std::string manifest(data, SizeofResource(module, resource));
    EXPECT_NE(std::string::npos,
              manifest.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"))
        << manifest;
}

TEST(VersionRecord, ReadsBackThroughTheVersionApi)
{
    const std::wstring path = test::ProgramPath();
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    ASSERT_NE(0u, size);
    std::vector<BYTE> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, data.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(VS_FFI_SIGNATURE, fixed->dwSignature);
    const WORD version[] = {TAVRELON_VERSION_BINARY};
    const DWORD versionMS = MAKELONG(version[1], version[0]);
    const DWORD versionLS = MAKELONG(version[3], version[2]);
    EXPECT_EQ(versionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(versionLS, fixed->dwFileVersionLS);
    EXPECT_EQ(versionMS, fixed->dwProductVersionMS);
    EXPECT_EQ(versionLS, fixed->dwProductVersionLS);
    EXPECT_EQ(0x17u, fixed->dwFileFlagsMask);
    EXPECT_EQ(0u, fixed->dwFileFlags);
    EXPECT_EQ(static_cast<DWORD>(VOS__WINDOWS32), fixed->dwFileOS);
    EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);
    EXPECT_EQ(0u, fixed->dwFileSubtype);
    EXPECT_EQ(0u, fixed->dwFileDateMS);
    EXPECT_EQ(0u, fixed->dwFileDateLS);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x0409, translation[0]);
    EXPECT_EQ(1200, translation[1]);

    const std::pair<const wchar_t*, const wchar_t*> strings[] = {
        {L"FileVersion", TEXT(TAVRELON_VERSION_TEXT)}, {L"InternalName", L"Tavrelon.exe"},
        {L"OriginalFilename", L"Tavrelon.exe"},         {L"ProductName", L"Tavrelon.exe"},
        {L"ProductVersion", TEXT(TAVRELON_VERSION_TEXT)},
    };
    for (const auto& entry : strings)
    {
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904b0\\") + entry.first;
        wchar_t* value = nullptr;
        ASSERT_TRUE(VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length)) << entry.first;
        EXPECT_STREQ(entry.second, value) << entry.first;
    }
    wchar_t* description = nullptr;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\StringFileInfo\\040904b0\\FileDescription",
                               reinterpret_cast<void**>(&description), &length));
    EXPECT_GT(wcslen(description), 10u);
}

} // namespace
