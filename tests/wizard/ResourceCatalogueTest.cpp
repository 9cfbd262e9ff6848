// The wizard's resources, read back from a built module and compared with
// the catalogue. By default the module is this program, which links the
// same resources as the wizard; --catalogue-module=PATH checks another file
// (FlashWizard.exe) instead, loaded as data.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "ResourceCatalogue.h"

namespace {

HMODULE g_module = nullptr;

INT_PTR CALLBACK IgnoreMessages(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

const BuildSettings& Build() {
    static const BuildSettings build = {
        FLASHWIZARD_TEST_PRODUCT_NAME,  FLASHWIZARD_TEST_VERSION_NAME,
        FLASHWIZARD_TEST_IMAGE_LENGTH,  FLASHWIZARD_TEST_VERSION_MAJOR,
        FLASHWIZARD_TEST_VERSION_MINOR, FLASHWIZARD_TEST_VERSION_PATCH,
        FLASHWIZARD_TEST_MANIFEST_ARCH,
    };
    return build;
}

void ExpectNoDifferences(const Differences& found) {
    std::string lines;
    for (const std::string& line : found) lines += "  " + line + "\n";
    EXPECT_TRUE(found.empty()) << lines;
}

TEST(ResourceCatalogue, ResourcesAndTheirLanguages) {
    ExpectNoDifferences(CheckInventory(g_module));
}

TEST(ResourceCatalogue, DialogTemplates) { ExpectNoDifferences(CheckDialogTemplates(g_module)); }

TEST(ResourceCatalogue, StringTable) { ExpectNoDifferences(CheckStringTable(g_module)); }

TEST(ResourceCatalogue, SidePictureAndIcon) { ExpectNoDifferences(CheckPictures(g_module)); }

TEST(ResourceCatalogue, CarriedFirmware) { ExpectNoDifferences(CheckFirmware(g_module, Build())); }

TEST(ResourceCatalogue, VersionBlock) { ExpectNoDifferences(CheckVersionBlock(g_module, Build())); }

TEST(ResourceCatalogue, Manifest) { ExpectNoDifferences(CheckManifest(g_module, Build())); }

// The platform's dialog manager accepts every template, and the pictures
// load: what the frame and the pages will do with them.
TEST(ResourceCatalogue, PlatformLoadsTemplatesAndPictures) {
    HWND frame = CreateDialogParamW(g_module, MAKEINTRESOURCEW(104), nullptr, IgnoreMessages, 0);
    ASSERT_NE(frame, nullptr) << "dialog 104, GetLastError " << GetLastError();
    // The pages are child windows, so the frame is their parent, as in the wizard.
    for (int id : {108, 149, 109, 110, 111}) {
        HWND page = CreateDialogParamW(g_module, MAKEINTRESOURCEW(id), frame, IgnoreMessages, 0);
        EXPECT_NE(page, nullptr) << "dialog " << id << ", GetLastError " << GetLastError();
        if (page) DestroyWindow(page);
    }
    DestroyWindow(frame);
    HBITMAP bitmap =
        static_cast<HBITMAP>(LoadImageW(g_module, MAKEINTRESOURCEW(105), IMAGE_BITMAP, 0, 0, 0));
    ASSERT_NE(bitmap, nullptr);
    BITMAP info{};
    GetObjectW(bitmap, sizeof info, &info);
    EXPECT_EQ(info.bmWidth, 161);
    EXPECT_EQ(info.bmHeight, 313);
    DeleteObject(bitmap);
    HICON icon =
        static_cast<HICON>(LoadImageW(g_module, MAKEINTRESOURCEW(103), IMAGE_ICON, 32, 32, 0));
    EXPECT_NE(icon, nullptr);
    if (icon) DestroyIcon(icon);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    g_module = GetModuleHandleW(nullptr);
    const std::wstring option = L"--catalogue-module=";
    int wideCount = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &wideCount);
    for (int i = 1; wide && i < wideCount; ++i) {
        if (std::wcsncmp(wide[i], option.c_str(), option.size()) != 0) continue;
        g_module = LoadLibraryExW(wide[i] + option.size(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        if (!g_module) {
            std::fprintf(stderr, "cannot load %ls: GetLastError %lu\n", wide[i] + option.size(),
                         GetLastError());
            return 1;
        }
    }
    LocalFree(wide);
    return RUN_ALL_TESTS();
}
