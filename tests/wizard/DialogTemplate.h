// A reader of extended dialog templates (DLGTEMPLATEEX, version 1) as they
// are stored in a module's RT_DIALOG resources, for checking them field by
// field.
#ifndef FLASHWIZARD_TESTS_DIALOGTEMPLATE_H
#define FLASHWIZARD_TESTS_DIALOGTEMPLATE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A field that is absent, a 16-bit ordinal or a string.
struct NameOrOrdinal {
    enum class Kind { None, Ordinal, Text } kind = Kind::None;
    std::uint16_t ordinal = 0;
    std::wstring text;

    bool IsOrdinal(std::uint16_t value) const { return kind == Kind::Ordinal && ordinal == value; }
    bool IsText(const std::wstring& value) const { return kind == Kind::Text && text == value; }
};

// The fields that a template and each of its items begin with: help id,
// styles, and position and size in dialog units.
struct WindowFields {
    std::uint32_t helpId = 0;
    std::uint32_t exStyle = 0;
    std::uint32_t style = 0;
    std::int16_t x = 0, y = 0, cx = 0, cy = 0;
};

struct DialogItem : WindowFields {
    std::int32_t id = 0;
    NameOrOrdinal windowClass;
    NameOrOrdinal title;
    std::uint16_t extraCount = 0;
};

struct DialogTemplate : WindowFields {
    std::uint16_t version = 0;
    std::uint16_t signature = 0;
    NameOrOrdinal menu;
    NameOrOrdinal windowClass;
    std::wstring title;
    bool hasFont = false;  // DS_SETFONT or DS_SHELLFONT
    std::uint16_t pointSize = 0;
    std::uint16_t weight = 0;
    std::uint8_t italic = 0;
    std::uint8_t charset = 0;
    std::wstring typeface;
    std::vector<DialogItem> items;
};

// Parses data[0, size) as an extended template. Returns true and fills out;
// returns false with error saying what and where when the data is not an
// extended template or ends inside it. Any thread.
bool ParseDialogTemplateEx(const std::uint8_t* data, std::size_t size, DialogTemplate& out,
                           std::string& error);

#endif  // FLASHWIZARD_TESTS_DIALOGTEMPLATE_H
