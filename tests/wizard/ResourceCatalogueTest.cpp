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

#include "DialogTemplate.h"
#include "ResourceCatalogue.h"

namespace {

HMODULE g_module = nullptr;

INT_PTR CALLBACK IgnoreMessages(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

const BuildSettings& Build() {
    static const BuildSettings build = {
        FLASHWIZARD_TEST_PRODUCT_NAME,
        FLASHWIZARD_TEST_VERSION_NAME,
        FLASHWIZARD_TEST_IMAGE_LENGTH,
        FLASHWIZARD_TEST_VERSION_MAJOR,
        FLASHWIZARD_TEST_VERSION_MINOR,
        FLASHWIZARD_TEST_VERSION_PATCH,
        FLASHWIZARD_TEST_MANIFEST_ARCH,
    };
    return build;
}

std::string Lines(const Differences& differences) {
    std::string text;
    for (const std::string& line : differences) text += "  " + line + "\n";
    return text;
}

TEST(ResourceCatalogue, ResourcesAndTheirLanguages) {
    const Differences found = CheckInventory(g_module);
    EXPECT_TRUE(found.empty()) << Lines(found);
}

TEST(ResourceCatalogue, DialogTemplates) {
    const Differences found = CheckDialogTemplates(g_module);
    EXPECT_TRUE(found.empty()) << Lines(found);
}

TEST(ResourceCatalogue, StringTable) {
    const Differences found = CheckStringTable(g_module);
    EXPECT_TRUE(found.empty()) << Lines(found);
}

TEST(ResourceCatalogue, SidePictureAndIcon) {
    const Differences found = CheckPictures(g_module);
    EXPECT_TRUE(found.empty()) << Lines(found);
}

TEST(ResourceCatalogue, CarriedFirmware) {
    const Differences found = CheckFirmware(g_module, Build());
    EXPECT_TRUE(found.empty()) << Lines(found);
}

TEST(ResourceCatalogue, VersionBlock) {
    const Differences found = CheckVersionBlock(g_module, Build());
    EXPECT_TRUE(found.empty()) << Lines(found);
}

TEST(ResourceCatalogue, Manifest) {
    const Differences found = CheckManifest(g_module, Build());
    EXPECT_TRUE(found.empty()) << Lines(found);
}

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
    HBITMAP bitmap = static_cast<HBITMAP>(LoadImageW(g_module, MAKEINTRESOURCEW(105), IMAGE_BITMAP, 0, 0, 0));
    ASSERT_NE(bitmap, nullptr);
    BITMAP info{};
    GetObjectW(bitmap, sizeof info, &info);
    EXPECT_EQ(info.bmWidth, 161);
    EXPECT_EQ(info.bmHeight, 313);
    DeleteObject(bitmap);
    HICON icon = static_cast<HICON>(LoadImageW(g_module, MAKEINTRESOURCEW(103), IMAGE_ICON, 32, 32, 0));
    EXPECT_NE(icon, nullptr);
    if (icon) DestroyIcon(icon);
}

// The parser that the checks rest on, on a template with the fields that
// the wizard's own templates leave empty.
TEST(DialogTemplateParser, ReadsEveryFieldAndRefusesCutData) {
    const std::uint8_t data[] = {
        1, 0, 0xFF, 0xFF,                          // version 1, extended
        7, 0, 0, 0,  0, 0, 0, 0,  0x40, 0, 0, 0x80, // help id 7, no ex style, WS_POPUP | DS_SETFONT
        1, 0,  2, 0, 3, 0, 40, 0, 20, 0,          // one item at 2, 3, 40 x 20
        0xFF, 0xFF, 9, 0,                          // menu 9 by number
        'C', 0, 0, 0,                              // class "C"
        'T', 0, 0, 0,                              // caption "T"
        9, 0, 0xBC, 2, 1, 2, 'F', 0, 0, 0,         // 9 pt, weight 700, italic, charset 2, "F"
                                                   // (the item's 32-bit boundary needs no padding)
        0, 0, 0, 0,  0, 0, 0, 0,  0, 0, 0, 0x50,   // item: WS_CHILD | WS_VISIBLE
        1, 0, 2, 0, 3, 0, 4, 0,  0xFE, 0xFF, 0xFF, 0xFF,  // at 1, 2 size 3 x 4, id -2
        'X', 0, 0, 0,                              // class "X"
        0xFF, 0xFF, 5, 0,                          // title: ordinal 5
        2, 0, 0xAA, 0xBB,                          // two extra bytes
    };
    DialogTemplate dialog;
    std::string error;
    ASSERT_TRUE(ParseDialogTemplateEx(data, sizeof data, dialog, error)) << error;
    EXPECT_EQ(dialog.helpId, 7u);
    EXPECT_EQ(dialog.style, 0x80000040u);
    EXPECT_TRUE(dialog.menu.IsOrdinal(9));
    EXPECT_TRUE(dialog.windowClass.IsText(L"C"));
    EXPECT_EQ(dialog.title, L"T");
    EXPECT_EQ(dialog.weight, 700);
    EXPECT_EQ(dialog.italic, 1);
    EXPECT_EQ(dialog.charset, 2);
    EXPECT_EQ(dialog.typeface, L"F");
    ASSERT_EQ(dialog.items.size(), 1u);
    EXPECT_EQ(dialog.items[0].id, -2);
    EXPECT_EQ(dialog.items[0].cy, 4);
    EXPECT_TRUE(dialog.items[0].windowClass.IsText(L"X"));
    EXPECT_TRUE(dialog.items[0].title.IsOrdinal(5));
    EXPECT_EQ(dialog.items[0].extraCount, 2);

    for (std::size_t cut : {sizeof data - 1, std::size_t(60), std::size_t(30), std::size_t(3)}) {
        EXPECT_FALSE(ParseDialogTemplateEx(data, cut, dialog, error)) << cut << " bytes";
        EXPECT_NE(error.find("ends inside"), std::string::npos) << error;
    }
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
