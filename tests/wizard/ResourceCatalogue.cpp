#include "ResourceCatalogue.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>

#include "DialogTemplate.h"
#include "SzddCodec.h"

namespace szdd = image::szdd;

namespace {

constexpr WORD kEnglishUS = 0x0409;
constexpr WORD kNeutral = 0;

// ---------------------------------------------------------------------------
// The catalogue

constexpr std::uint16_t kButton = 0x0080;
constexpr std::uint16_t kStatic = 0x0082;
constexpr DWORD kText = WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT;
constexpr DWORD kPicture = WS_CHILD | WS_VISIBLE | SS_BITMAP;
constexpr DWORD kPage = WS_CHILD | WS_DISABLED | DS_SETFONT;
constexpr std::uint16_t kSidePicture = 105;

struct ControlSpec {
    std::int32_t id;
    std::uint16_t classAtom;
    DWORD style;
    std::int16_t x, y, cx, cy;
    const wchar_t* text;  // nullptr: the title is bitmap kSidePicture by number
};

struct DialogSpec {
    std::uint16_t id;
    DWORD style;
    std::int16_t cx, cy;
    const wchar_t* caption;
    std::vector<ControlSpec> controls;  // in template order
};

const std::vector<DialogSpec>& Dialogs() {
    static const std::vector<DialogSpec> dialogs = {
        {104,
         WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT,
         331,
         222,
         L"[Product] Firmware Update Wizard",
         {
             {12324, kButton, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 215, 201, 50,
              14, L"&Next >"},
             {12323, kButton, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 165, 201, 50, 14,
              L"< &Back"},
             {2, kButton, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 274, 201, 50, 14,
              L"&Cancel"},
             {1001, kStatic, WS_CHILD | WS_VISIBLE | SS_ETCHEDFRAME, -1, -1, 333, 194, L""},
         }},
        {108,
         kPage,
         331,
         193,
         L"",
         {
             {-1, kStatic, kPicture, 0, 0, 107, 193, nullptr},
             {1005, kStatic, kText, 120, 15, 190, 30,
              L"Welcome to the [Product] Firmware Update Wizard"},
             {-1, kStatic, kText, 125, 165, 76, 8, L"To continue, click Next."},
             {-1, kStatic, kText, 120, 71, 185, 17,
              L"This wizard will update your [Product] firmware to version [Version]."},
             {-1, kStatic, kText, 125, 142, 176, 8,
              L"Please close all other applications before continuing."},
         }},
        {149,
         kPage,
         331,
         193,
         L"",
         {
             {-1, kStatic, kPicture, 0, 0, 81, 157, nullptr},
             {1035, kStatic, kText, 119, 71, 161, 22, L"Please wait for opening device..."},
         }},
        {109,
         kPage,
         331,
         191,
         L"",
         {
             {1011, kStatic, kText, 0, 0, 331, 37, L""},
             {-1, kStatic, kText, 28, 66, 275, 28,
              L"Firmware versions:\n   Current\t[CurrentVersion]\n   Update\t[Version]"},
             {1009, kStatic, kText, 14, 8, 75, 8, L"Ready to update"},
             {1010, kStatic, kText, 28, 21, 106, 8, L"Ready to update firmware"},
             {-1, kStatic, kText, 28, 45, 275, 19,
              L"The update may take a few minutes to complete. \nDo not disconnect your [Product] during update."},
             {-1, kStatic, kText, 28, 101, 275, 35,
              L"Note: Please upload all your notes from the device before updating your firmware.\n"
              L"All notes will be erased during this process.\n\nClick &Update to start firmware update."},
         }},
        {110,
         kPage,
         331,
         193,
         L"",
         {
             {1011, kStatic, kText, 0, 0, 331, 37, L""},
             {1009, kStatic, kText, 14, 8, 75, 8, L"Firmware Update"},
             {1010, kStatic, kText, 28, 21, 203, 13, L"Updating firmware"},
             {-1, kStatic, kText, 28, 70, 232, 13,
              L"Warning: Do not disconnect the [Product] during this process."},
         }},
        {111,
         kPage,
         331,
         193,
         L"",
         {
             {-1, kStatic, kPicture, 0, 0, 107, 193, nullptr},
             {1005, kStatic, kText, 118, 15, 196, 34,
              L"[Product] Firmware Update Wizard Completed Successfully."},
             {-1, kStatic, kText, 120, 56, 183, 33,
              L"Your firmware has been updated successfully to version [Version].\n\n"
              L"Press &Finish to close the wizard."},
         }},
    };
    return dialogs;
}

const std::map<unsigned, std::wstring>& Strings() {
    static const std::map<unsigned, std::wstring> strings = {
        {2, L"&Update"},
        {3,
         L"There are still notes in your [Product].\nYour notes will be lost if you continue "
         L"without uploading them first! \nAre you sure you want to continue?\n\nPressing No "
         L"will cancel the [Product] Firmware Update Wizard."},
        {4, L"Are you sure you want to cancel Firmware Update Wizard?"},
        {5, L"\nUnable to find device.\n\nFirmware Update Wizard will now quit."},
        {6, L"\nDownload Error.\n\nThe firmware application will now quit."},
        {7, L"Installation was terminated.\n\nFirmware version was not updated."},
        {8, L"Fail to change device mode to Firmware Update Mode"},
        {9, L"&Next"},
        {10, L"[Product] Firmware Update Wizard"},
        {11, L"Timeout after switch to DFU Mode."},
        {12,
         L"Unable to find your [Product].\nPlease make sure your [Product] is connected "
         L"properly.\n\nPress OK to try again or Cancel to close the Firmware Update Wizard."},
        {13,
         L"Inkhub.dll version is incompatible.\n\nPlease update your software before running "
         L"the Firmware Update Wizard."},
        {14, L"The [Product] is currently in capture mode, end capture mode to connect."},
        {15, L"Unable to query firmware version."},
        {111, L"&Finish"},
        {112, L"Searching for device..."},
        {113, L"Progress: %d%%"},
    };
    return strings;
}

// ---------------------------------------------------------------------------
// Helpers

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        if (c == L'\n') {
            out += "\\n";
        } else if (c == L'\t') {
            out += "\\t";
        } else if (c >= 0x20 && c < 0x7F) {
            out += char(c);
        } else {
            out += "\\u" + std::to_string(unsigned(c));
        }
    }
    return out;
}

std::string Hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(value));
    return text;
}

std::string Quote(const std::wstring& text) { return "\"" + Narrow(text) + "\""; }

// Resource names as the enumeration gives them: "#105" for ordinals.
std::string NameText(LPCWSTR name) {
    if (IS_INTRESOURCE(name)) return "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name));
    return Narrow(name);
}

BOOL CALLBACK AddName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR names) {
    reinterpret_cast<std::set<std::string>*>(names)->insert(NameText(name));
    return TRUE;
}

std::set<std::string> Names(HMODULE module, LPCWSTR type) {
    std::set<std::string> names;
    EnumResourceNamesW(module, type, AddName, reinterpret_cast<LONG_PTR>(&names));
    return names;
}

BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR languages) {
    reinterpret_cast<std::set<WORD>*>(languages)->insert(language);
    return TRUE;
}

std::set<WORD> Languages(HMODULE module, LPCWSTR type, LPCWSTR name) {
    std::set<WORD> languages;
    EnumResourceLanguagesW(module, type, name, AddLanguage, reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}

// The bytes of one resource in one language; empty when it is missing.
std::vector<std::uint8_t> Bytes(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language) {
    HRSRC found = FindResourceExW(module, type, name, language);
    if (!found) return {};
    const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found)));
    if (!data) return {};
    return std::vector<std::uint8_t>(data, data + SizeofResource(module, found));
}

std::string Join(const std::set<std::string>& items) {
    std::string out;
    for (const std::string& item : items) out += (out.empty() ? "" : ", ") + item;
    return "{" + out + "}";
}

template <typename T>
T Read(const std::vector<std::uint8_t>& data, std::size_t offset) {
    T value{};
    if (offset + sizeof value <= data.size())
        std::memcpy(&value, data.data() + offset, sizeof value);
    return value;
}

void CheckControl(const std::string& where, const DialogItem& item, const ControlSpec& want,
                  Differences& out) {
    const auto field = [&](const char* name, long long actual, long long expected) {
        if (actual != expected) {
            out.push_back(where + ": " + name + " " + std::to_string(actual) + ", expected " +
                          std::to_string(expected));
        }
    };
    field("id", item.id, want.id);
    field("x", item.x, want.x);
    field("y", item.y, want.y);
    field("width", item.cx, want.cx);
    field("height", item.cy, want.cy);
    field("help id", item.helpId, 0);
    field("extra bytes", item.extraCount, 0);
    if (item.style != want.style) {
        out.push_back(where + ": style " + Hex(item.style) + ", expected " + Hex(want.style));
    }
    if (item.exStyle != 0) out.push_back(where + ": extended style " + Hex(item.exStyle));
    // The class may be stored as its atom or by name.
    const wchar_t* className = want.classAtom == kButton ? L"BUTTON" : L"STATIC";
    const bool classMatches = item.windowClass.IsOrdinal(want.classAtom) ||
                              (item.windowClass.kind == NameOrOrdinal::Kind::Text &&
                               lstrcmpiW(item.windowClass.text.c_str(), className) == 0);
    if (!classMatches) out.push_back(where + ": class is not " + Narrow(className));
    if (want.text == nullptr) {
        if (!item.title.IsOrdinal(kSidePicture)) {
            out.push_back(where + ": title does not name bitmap " + std::to_string(kSidePicture));
        }
    } else if (!item.title.IsText(want.text) &&
               !(want.text[0] == L'\0' && item.title.kind == NameOrOrdinal::Kind::None)) {
        out.push_back(where + ": text " + Quote(item.title.text) + ", expected " +
                      Quote(want.text));
    }
}

void CheckDialog(HMODULE module, const DialogSpec& want, Differences& out) {
    const std::string where = "dialog " + std::to_string(want.id);
    const std::vector<std::uint8_t> data =
        Bytes(module, RT_DIALOG, MAKEINTRESOURCEW(want.id), kEnglishUS);
    if (data.empty()) {
        out.push_back(where + ": missing");
        return;
    }
    DialogTemplate dialog;
    std::string error;
    if (!ParseDialogTemplateEx(data.data(), data.size(), dialog, error)) {
        out.push_back(where + ": " + error);
        return;
    }
    if (dialog.style != want.style) {
        out.push_back(where + ": style " + Hex(dialog.style) + ", expected " + Hex(want.style));
    }
    if (dialog.exStyle != 0) out.push_back(where + ": extended style " + Hex(dialog.exStyle));
    if (dialog.helpId != 0) out.push_back(where + ": help id " + std::to_string(dialog.helpId));
    if (dialog.x != 0 || dialog.y != 0 || dialog.cx != want.cx || dialog.cy != want.cy) {
        out.push_back(where + ": at " + std::to_string(dialog.x) + ", " + std::to_string(dialog.y) +
                      " size " + std::to_string(dialog.cx) + " x " + std::to_string(dialog.cy) +
                      ", expected 0, 0 size " + std::to_string(want.cx) + " x " +
                      std::to_string(want.cy));
    }
    if (dialog.menu.kind != NameOrOrdinal::Kind::None) out.push_back(where + ": has a menu");
    if (dialog.windowClass.kind != NameOrOrdinal::Kind::None)
        out.push_back(where + ": has a window class");
    if (dialog.title != want.caption) {
        out.push_back(where + ": caption " + Quote(dialog.title) + ", expected " +
                      Quote(want.caption));
    }
    if (!dialog.hasFont || dialog.pointSize != 8 || dialog.weight != 400 || dialog.italic != 0 ||
        dialog.charset != 0 || dialog.typeface != L"Tahoma") {
        out.push_back(where + ": font " + Narrow(dialog.typeface) + " " +
                      std::to_string(dialog.pointSize) + " weight " +
                      std::to_string(dialog.weight) + " italic " + std::to_string(dialog.italic) +
                      " charset " + std::to_string(dialog.charset) +
                      ", expected Tahoma 8 weight 400, not italic, charset 0");
    }
    if (dialog.items.size() != want.controls.size()) {
        out.push_back(where + ": " + std::to_string(dialog.items.size()) + " controls, expected " +
                      std::to_string(want.controls.size()));
    }
    const std::size_t common = std::min(dialog.items.size(), want.controls.size());
    for (std::size_t i = 0; i < common; ++i) {
        CheckControl(where + " control " + std::to_string(i), dialog.items[i], want.controls[i],
                     out);
    }
}

// The string table's entries in one language, by id.
std::map<unsigned, std::wstring> StringTable(HMODULE module, Differences& out) {
    std::map<unsigned, std::wstring> table;
    for (const std::string& name : Names(module, RT_STRING)) {
        const unsigned block = unsigned(std::stoul(name.substr(1)));
        const std::vector<std::uint8_t> data =
            Bytes(module, RT_STRING, MAKEINTRESOURCEW(block), kEnglishUS);
        std::size_t offset = 0;
        for (unsigned i = 0; i < 16; ++i) {
            const std::uint16_t length = Read<std::uint16_t>(data, offset);
            offset += 2;
            if (offset + 2u * length > data.size()) {
                out.push_back("string block " + std::to_string(block) + " ends inside string " +
                              std::to_string((block - 1) * 16 + i));
                break;
            }
            if (length) {
                std::wstring text(length, L'\0');
                std::memcpy(&text[0], data.data() + offset, 2u * length);
                table[(block - 1) * 16 + i] = text;
            }
            offset += 2u * length;
        }
    }
    return table;
}

std::string VersionText(DWORD ms, DWORD ls) {
    return std::to_string(HIWORD(ms)) + "." + std::to_string(LOWORD(ms)) + "." +
           std::to_string(HIWORD(ls)) + "." + std::to_string(LOWORD(ls));
}

}  // namespace

// ---------------------------------------------------------------------------
// Checks

Differences CheckInventory(HMODULE module) {
    Differences out;
    struct Kind {
        const char* what;
        LPCWSTR type;
        std::set<std::string> names;
    };
    const Kind kinds[] = {
        {"dialogs", RT_DIALOG, {"#104", "#108", "#109", "#110", "#111", "#149"}},
        {"bitmaps", RT_BITMAP, {"#105"}},
        {"icon groups", RT_GROUP_ICON, {"#103"}},
        {"icon images", RT_ICON, {"#1"}},
        {"version blocks", RT_VERSION, {"#1"}},
        {"manifests", RT_MANIFEST, {"#1"}},
    };
    for (const Kind& kind : kinds) {
        const std::set<std::string> names = Names(module, kind.type);
        if (names != kind.names) {
            out.push_back(std::string(kind.what) + " " + Join(names) + ", expected " +
                          Join(kind.names));
        }
    }
    // Everything but the firmware is U.S. English, and only that.
    for (const Kind& kind : kinds) {
        for (const std::string& name : Names(module, kind.type)) {
            const LPCWSTR id = MAKEINTRESOURCEW(std::stoul(name.substr(1)));
            if (Languages(module, kind.type, id) != std::set<WORD>{kEnglishUS}) {
                out.push_back(std::string(kind.what) + " " + name + ": not in U.S. English alone");
            }
        }
    }
    for (const std::string& name : Names(module, RT_STRING)) {
        const LPCWSTR id = MAKEINTRESOURCEW(std::stoul(name.substr(1)));
        if (Languages(module, RT_STRING, id) != std::set<WORD>{kEnglishUS}) {
            out.push_back("string block " + name + ": not in U.S. English alone");
        }
    }
    return out;
}

Differences CheckDialogTemplates(HMODULE module) {
    Differences out;
    for (const DialogSpec& want : Dialogs()) CheckDialog(module, want, out);
    return out;
}

Differences CheckStringTable(HMODULE module) {
    Differences out;
    const std::map<unsigned, std::wstring> table = StringTable(module, out);
    for (const auto& [id, text] : Strings()) {
        const auto found = table.find(id);
        if (found == table.end()) {
            out.push_back("string " + std::to_string(id) + ": missing");
        } else if (found->second != text) {
            out.push_back("string " + std::to_string(id) + ": " + Quote(found->second) +
                          ", expected " + Quote(text));
        }
    }
    for (const auto& [id, text] : table) {
        if (!Strings().count(id))
            out.push_back("string " + std::to_string(id) + ": not in the catalogue");
    }
    return out;
}

Differences CheckPictures(HMODULE module) {
    Differences out;
    const auto expect = [&out](const std::string& what, long long actual, long long expected) {
        if (actual != expected) {
            out.push_back(what + " " + std::to_string(actual) + ", expected " +
                          std::to_string(expected));
        }
    };

    // Bitmap 105: 161 x 313, bottom-up, 8 bits, 256 colours, uncompressed,
    // rows padded to 164 bytes.
    const std::vector<std::uint8_t> bitmap =
        Bytes(module, RT_BITMAP, MAKEINTRESOURCEW(105), kEnglishUS);
    expect("bitmap 105: resource size", bitmap.size(), 52396);
    const auto header = Read<BITMAPINFOHEADER>(bitmap, 0);
    expect("bitmap 105: header size", header.biSize, 40);
    expect("bitmap 105: width", header.biWidth, 161);
    expect("bitmap 105: height (positive: bottom-up)", header.biHeight, 313);
    expect("bitmap 105: planes", header.biPlanes, 1);
    expect("bitmap 105: bits per pixel", header.biBitCount, 8);
    expect("bitmap 105: compression", header.biCompression, BI_RGB);
    expect("bitmap 105: horizontal resolution", header.biXPelsPerMeter, 0);
    expect("bitmap 105: vertical resolution", header.biYPelsPerMeter, 0);
    expect("bitmap 105: colour table entries", header.biClrUsed ? header.biClrUsed : 256, 256);
    expect("bitmap 105: pixel bytes", static_cast<long long>(bitmap.size()) - 40 - 1024, 164 * 313);

    // Icon 103: one 32 x 32 image with 16 colours, 744 bytes, image id 1.
    const std::vector<std::uint8_t> group =
        Bytes(module, RT_GROUP_ICON, MAKEINTRESOURCEW(103), kEnglishUS);
    expect("icon 103: group size", group.size(), 6 + 14);
    expect("icon 103: type", Read<std::uint16_t>(group, 2), 1);
    expect("icon 103: images", Read<std::uint16_t>(group, 4), 1);
    expect("icon 103: width", Read<std::uint8_t>(group, 6), 32);
    expect("icon 103: height", Read<std::uint8_t>(group, 7), 32);
    expect("icon 103: colours", Read<std::uint8_t>(group, 8), 16);
    expect("icon 103: planes", Read<std::uint16_t>(group, 10), 1);
    expect("icon 103: bits per pixel", Read<std::uint16_t>(group, 12), 4);
    expect("icon 103: image bytes", Read<std::uint32_t>(group, 14), 744);
    expect("icon 103: image id", Read<std::uint16_t>(group, 18), 1);
    const std::vector<std::uint8_t> image = Bytes(module, RT_ICON, MAKEINTRESOURCEW(1), kEnglishUS);
    expect("icon image 1: size", image.size(), 744);
    const auto icon = Read<BITMAPINFOHEADER>(image, 0);
    expect("icon image 1: width", icon.biWidth, 32);
    expect("icon image 1: height of colour and mask", icon.biHeight, 64);
    expect("icon image 1: bits per pixel", icon.biBitCount, 4);
    return out;
}

Differences CheckFirmware(HMODULE module, const BuildSettings& build) {
    Differences out;
    const std::set<std::string> expectedNames = {"MOT", "PRODUCT_NAME", "VERSION_NAME"};
    const std::set<std::string> names = Names(module, L"FIRMWARE");
    if (names != expectedNames) {
        out.push_back("FIRMWARE entries " + Join(names) + ", expected " + Join(expectedNames));
    }
    for (const std::string& name : expectedNames) {
        const std::wstring wide(name.begin(), name.end());
        if (Languages(module, L"FIRMWARE", wide.c_str()) != std::set<WORD>{kNeutral}) {
            out.push_back("FIRMWARE/" + name + ": not language neutral alone");
        }
    }

    // The names: UTF-16LE text and its own NUL.
    const auto checkText = [&](const wchar_t* name, const std::wstring& text) {
        const std::vector<std::uint8_t> data = Bytes(module, L"FIRMWARE", name, kNeutral);
        std::vector<std::uint8_t> expected;
        for (wchar_t c : text + L'\0') {
            expected.push_back(std::uint8_t(c));
            expected.push_back(std::uint8_t(c >> 8));
        }
        if (data != expected) {
            out.push_back("FIRMWARE/" + Narrow(name) + ": " + std::to_string(data.size()) +
                          " bytes, not UTF-16LE " + Quote(text) + " with a NUL (" +
                          std::to_string(expected.size()) + " bytes)");
        }
    };
    checkText(L"PRODUCT_NAME", build.productName);
    checkText(L"VERSION_NAME", build.versionName);

    // The image: a method 'A' container that expands to exactly what its
    // header declares.
    const std::vector<std::uint8_t> mot = Bytes(module, L"FIRMWARE", L"MOT", kNeutral);
    szdd::SzddHeader header;
    if (szdd::SzddParseHeader(mot.data(), mot.size(), header) != szdd::SzddError::None) {
        out.push_back("FIRMWARE/MOT: no SZDD header (" + std::to_string(mot.size()) + " bytes)");
        return out;
    }
    if (header.method != szdd::kMethodLzss) out.push_back("FIRMWARE/MOT: method is not 'A'");
    if (header.declaredLength != build.imageLength) {
        out.push_back("FIRMWARE/MOT: declares " + std::to_string(header.declaredLength) +
                      " bytes, expected " + std::to_string(build.imageLength));
    }
    std::vector<std::uint8_t> expanded;
    const szdd::SzddError error = szdd::SzddExpand(mot.data(), mot.size(), expanded);
    if (error != szdd::SzddError::None) {
        out.push_back(std::string("FIRMWARE/MOT: does not expand: ") + szdd::SzddErrorText(error));
    }
    return out;
}

Differences CheckVersionBlock(HMODULE module, const BuildSettings& build) {
    Differences out;
    std::vector<std::uint8_t> block = Bytes(module, RT_VERSION, MAKEINTRESOURCEW(1), kEnglishUS);
    if (block.empty()) return {"version block: missing"};
    // VerQueryValueW may write into the block, so it works on a copy with
    // room to spare, as GetFileVersionInfoW would give it.
    block.resize(block.size() * 2 + 64);

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
        length < sizeof *fixed) {
        return {"version block: no fixed part"};
    }
    const std::string fileVersion = std::to_string(build.versionMajor) + "." +
                                    std::to_string(build.versionMinor) + "." +
                                    std::to_string(build.versionPatch);
    const std::string productVersion = std::to_string(build.versionMajor) + ".0.0.0";
    const auto expect = [&out](const std::string& what, const std::string& actual,
                               const std::string& expected) {
        if (actual != expected)
            out.push_back("version block: " + what + " " + actual + ", expected " + expected);
    };
    expect("signature", Hex(fixed->dwSignature), Hex(0xFEEF04BD));
    expect("file version", VersionText(fixed->dwFileVersionMS, fixed->dwFileVersionLS),
           fileVersion + ".0");
    expect("product version", VersionText(fixed->dwProductVersionMS, fixed->dwProductVersionLS),
           productVersion);
    expect("flags mask", Hex(fixed->dwFileFlagsMask), Hex(0x3F));
    expect("flags", Hex(fixed->dwFileFlags), Hex(0));
    expect("OS", Hex(fixed->dwFileOS), Hex(VOS__WINDOWS32));
    expect("type", Hex(fixed->dwFileType), Hex(VFT_APP));
    expect("subtype", Hex(fixed->dwFileSubtype), Hex(0));

    const DWORD* translation = nullptr;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(const_cast<DWORD**>(&translation)), &length) ||
        length != 4) {
        out.push_back("version block: translation is not one language and code page");
    } else {
        expect("translation", Hex(*translation), Hex(MAKELONG(0x0409, 0x04B0)));
    }

    const auto value = [&block](const wchar_t* key) -> std::wstring {
        const std::wstring path = std::wstring(L"\\StringFileInfo\\040904b0\\") + key;
        wchar_t* text = nullptr;
        UINT count = 0;
        if (!VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&text), &count) ||
            !text) {
            return L"(missing)";
        }
        return text;
    };
    expect("FileDescription", Narrow(value(L"FileDescription")), "Firmware Update Wizard");
    expect("FileVersion", Narrow(value(L"FileVersion")), fileVersion);
    expect("ProductVersion", Narrow(value(L"ProductVersion")),
           std::to_string(build.versionMajor) + ", 0, 0, 0");
    for (const wchar_t* key :
         {L"CompanyName", L"LegalCopyright", L"InternalName", L"OriginalFilename"}) {
        const std::wstring text = value(key);
        if (text.empty() || text == L"(missing)") {
            out.push_back("version block: " + Narrow(key) + " is missing or empty");
        }
    }
    return out;
}

Differences CheckManifest(HMODULE module, const BuildSettings& build) {
    Differences out;
    const std::vector<std::uint8_t> data =
        Bytes(module, RT_MANIFEST, MAKEINTRESOURCEW(1), kEnglishUS);
    const std::string manifest(data.begin(), data.end());
    const auto count = [&manifest](const std::string& what) {
        std::size_t n = 0;
        for (std::size_t at = manifest.find(what); at != std::string::npos;
             at = manifest.find(what, at + 1))
            ++n;
        return n;
    };
    const std::string required[] = {
        "manifestVersion=\"1.0\"",
        "type=\"win32\"",
        "name=\"Microsoft.Windows.Common-Controls\"",
        "version=\"6.0.0.0\"",
        "processorArchitecture=\"" + build.manifestArchitecture + "\"",
        "publicKeyToken=\"6595b64144ccf1df\"",
        "language=\"*\"",
    };
    for (const std::string& item : required) {
        if (count(item) != 1)
            out.push_back("manifest: " + item + " appears " + std::to_string(count(item)) +
                          " times");
    }
    if (count("<dependentAssembly>") != 1)
        out.push_back("manifest: not exactly one dependent assembly");
    if (count("<assemblyIdentity") != 1)
        out.push_back("manifest: not exactly one assembly identity");
    if (count("requestedExecutionLevel") != 0)
        out.push_back("manifest: requests an execution level");
    return out;
}
