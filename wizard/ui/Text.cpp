#include "Text.h"

#include <cwchar>
#include <utility>

CText::CText(const wchar_t* text) : m_text(text != nullptr ? text : L"") {}

CText::CText(std::wstring text) : m_text(std::move(text)) {}

int CText::Replace(const wchar_t* placeholder, const wchar_t* value) {
    if (placeholder == nullptr || *placeholder == L'\0') return 0;
    const std::size_t placeholderLength = std::wcslen(placeholder);
    const std::wstring replacement = value != nullptr ? value : L"";
    int count = 0;
    std::size_t at = m_text.find(placeholder);
    while (at != std::wstring::npos) {
        m_text.replace(at, placeholderLength, replacement);
        ++count;
        at = m_text.find(placeholder, at + replacement.size());
    }
    return count;
}

CText& CText::operator+=(const CText& other) {
    m_text += other.m_text;
    return *this;
}
