// CText: the wizard's text type, a wide string with the operations that the
// wizard's texts need and nothing else. It holds no platform type, so the
// text logic built on it compiles and is tested on any platform.
#ifndef FLASHWIZARD_UI_TEXT_H
#define FLASHWIZARD_UI_TEXT_H

#include <cstddef>
#include <string>

class CText {
public:
    // An empty text. Any thread (as for every function here).
    CText() = default;
    // A copy of the NUL-terminated text; a null pointer gives the empty text.
    CText(const wchar_t* text);  // NOLINT: implicit, as a literal is a text
    // Takes over text.
    CText(std::wstring text);  // NOLINT: implicit on purpose

    // Returns the characters, NUL-terminated; valid until the text changes.
    // Never null.
    const wchar_t* c_str() const { return m_text.c_str(); }
    // Returns the characters as a standard string.
    const std::wstring& Str() const { return m_text; }
    // Returns the number of characters.
    std::size_t Length() const { return m_text.size(); }
    // Returns true when the text holds no character, else false.
    bool IsEmpty() const { return m_text.empty(); }

    // Replaces every occurrence of placeholder by value, scanning from left
    // to right; after a match the scan resumes behind the inserted value, so
    // what was inserted is never scanned again by this call. The match is
    // exact and case-sensitive. Returns the number of occurrences replaced:
    // 0 when there is none or when placeholder is empty or null (the text is
    // then unchanged). A null value counts as the empty text.
    int Replace(const wchar_t* placeholder, const wchar_t* value);

    // Appends other. Returns this text.
    CText& operator+=(const CText& other);

    // Return whether the two texts hold the same characters (or not).
    friend bool operator==(const CText& a, const CText& b) { return a.m_text == b.m_text; }
    friend bool operator!=(const CText& a, const CText& b) { return a.m_text != b.m_text; }

private:
    std::wstring m_text;
};

#endif  // FLASHWIZARD_UI_TEXT_H
