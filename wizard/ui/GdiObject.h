// CGdiObject: owns one GDI object (a font, a brush) and deletes it with
// itself. The wizard's fonts live as process-wide objects of this type and
// are deleted at process exit; each page's brush lives with the page.
#ifndef FLASHWIZARD_UI_GDIOBJECT_H
#define FLASHWIZARD_UI_GDIOBJECT_H

#include <windows.h>

template <class THandle>
class CGdiObject {
public:
    CGdiObject() = default;
    ~CGdiObject() { Reset(); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    // Returns the object, or null when none is held. Any thread.
    THandle Get() const { return m_handle; }
    // Returns true when an object is held, else false. Any thread.
    bool IsSet() const { return m_handle != nullptr; }
    // Deletes the object held, if any, and takes handle (which may be null).
    // Returns nothing. The thread that uses the object.
    void Reset(THandle handle = nullptr) {
        if (m_handle != nullptr) DeleteObject(m_handle);
        m_handle = handle;
    }

private:
    THandle m_handle = nullptr;
};

using CFontObject = CGdiObject<HFONT>;
using CBrushObject = CGdiObject<HBRUSH>;

#endif  // FLASHWIZARD_UI_GDIOBJECT_H
