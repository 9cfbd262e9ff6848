// What a program that links Penlink.dll relies on: the six calls resolve
// through the import library to the loaded DLL's own exports, the DLL exports
// nothing but its calls, and a manifest, where one is carried, is one.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Penlink.h"

namespace {

// Any function pointer compares as this one (GCC allows the cast freely).
using AnyCall = void (*)();

HMODULE PenlinkModule() { return GetModuleHandleW(L"Penlink.dll"); }

// The names in the export directory of a loaded module, read in memory.
std::vector<std::string> ExportNames(HMODULE module) {
    const auto* base = reinterpret_cast<const BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return {};
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE) return {};
    const IMAGE_DATA_DIRECTORY& entry =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (entry.VirtualAddress == 0 || entry.Size == 0) return {};
    const auto* directory =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
    const auto* names = reinterpret_cast<const DWORD*>(base + directory->AddressOfNames);
    std::vector<std::string> out;
    for (DWORD i = 0; i < directory->NumberOfNames; ++i) {
        out.emplace_back(reinterpret_cast<const char*>(base + names[i]));
    }
    return out;
}

// The DLL's manifest: an RT_MANIFEST resource, else Penlink.dll.manifest
// beside it. Returns its text, empty when there is none.
std::string FindManifest(HMODULE module) {
    for (WORD id = 1; id <= 16; ++id) {
        HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), RT_MANIFEST);
        if (resource == nullptr) continue;
        const void* bytes = LockResource(LoadResource(module, resource));
        if (bytes == nullptr) return "?";  // present but unreadable: fails below
        return std::string(static_cast<const char*>(bytes), SizeofResource(module, resource));
    }
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    std::ifstream side(std::string(path, length) + ".manifest", std::ios::binary);
    if (!side) return {};
    const std::string text{std::istreambuf_iterator<char>(side), std::istreambuf_iterator<char>()};
    return text.empty() ? "?" : text;
}

}  // namespace

TEST(PenlinkExports, SixCallsBindToTheDllsOwnExports) {
    const HMODULE module = PenlinkModule();
    ASSERT_NE(module, nullptr) << "Penlink.dll is not loaded";
    const std::vector<std::string> names = ExportNames(module);
    ASSERT_FALSE(names.empty()) << "no export directory";

    // Taking an address through the import library gives the address the
    // loader bound, which must be the one the DLL exports under that name.
    const struct {
        const char* name;
        AnyCall imported;
    } calls[] = {
        {"FWUInit", reinterpret_cast<AnyCall>(&FWUInit)},
        {"FWUOpenDevice", reinterpret_cast<AnyCall>(&FWUOpenDevice)},
        {"FWUGetDeviceInfo", reinterpret_cast<AnyCall>(&FWUGetDeviceInfo)},
        {"FWUStartFirmwareUpdate", reinterpret_cast<AnyCall>(&FWUStartFirmwareUpdate)},
        {"FWUSendFirmware", reinterpret_cast<AnyCall>(&FWUSendFirmware)},
        {"FWUCloseDevice", reinterpret_cast<AnyCall>(&FWUCloseDevice)},
    };
    for (const auto& call : calls) {
        SCOPED_TRACE(call.name);
        const std::string* mangled = nullptr;
        for (const std::string& name : names) {
            if (name.find(call.name) != std::string::npos) mangled = &name;
        }
        ASSERT_NE(mangled, nullptr) << "not exported";
        EXPECT_NE(*mangled, call.name) << "exported with C linkage, not under its C++ name";
        const auto exported = reinterpret_cast<AnyCall>(GetProcAddress(module, mangled->c_str()));
        ASSERT_NE(exported, nullptr) << *mangled;
        EXPECT_EQ(exported, call.imported) << *mangled;
    }

    // Only the library's calls leave the DLL: no core or runtime symbol.
    for (const std::string& name : names) {
        EXPECT_NE(name.find("FWU"), std::string::npos) << "stray export " << name;
    }
}

TEST(PenlinkExports, ManifestWhereOneIsCarried) {
    const HMODULE module = PenlinkModule();
    ASSERT_NE(module, nullptr);
    const std::string manifest = FindManifest(module);
    if (manifest.empty()) return;  // a DLL needs none
    EXPECT_NE(manifest.find("<assembly"), std::string::npos) << manifest;
    EXPECT_NE(manifest.find("urn:schemas-microsoft-com:asm.v1"), std::string::npos) << manifest;
}
