#include "Placeholders.h"

int CompletePlaceholders(CText& text, const PlaceholderValues& values) {
    int replaced = text.Replace(kProductPlaceholder, values.product.c_str());
    replaced += text.Replace(kVersionPlaceholder, values.version.c_str());
    replaced += text.Replace(kCurrentVersionPlaceholder, values.currentVersion.c_str());
    return replaced;
}
