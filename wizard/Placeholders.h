// The three placeholders of the wizard's texts and the rule that completes
// them. Platform-free: the application object, the placeholder pass over the
// windows and the prompts all complete their texts through this one rule.
#ifndef FLASHWIZARD_PLACEHOLDERS_H
#define FLASHWIZARD_PLACEHOLDERS_H

#include "ui/Text.h"

// The placeholders, in the order in which they are replaced.
constexpr const wchar_t* kProductPlaceholder = L"[Product]";
constexpr const wchar_t* kVersionPlaceholder = L"[Version]";
constexpr const wchar_t* kCurrentVersionPlaceholder = L"[CurrentVersion]";

// The values that replace them.
struct PlaceholderValues {
    CText product;         // the device's model name
    CText version;         // the version name of the carried firmware
    CText currentVersion;  // the firmware in the device, as text
};

// Replaces in text every "[Product]", then every "[Version]", then every
// "[CurrentVersion]" by its value (CText::Replace rules: exact and
// case-sensitive, left to right, an empty value removes the placeholder).
// Each step scans the whole result of the step before it, so a value that
// holds a later placeholder has it replaced too. Returns the number of
// occurrences replaced by the three steps together; 0 means that text is
// unchanged. Any thread.
int CompletePlaceholders(CText& text, const PlaceholderValues& values);

#endif  // FLASHWIZARD_PLACEHOLDERS_H
