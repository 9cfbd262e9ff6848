#include "DialogTemplate.h"

#include <utility>

namespace {

constexpr std::uint32_t kSetFont = 0x40;  // DS_SETFONT, also part of DS_SHELLFONT

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool Failed() const { return failed_; }
    std::size_t Offset() const { return offset_; }

    std::uint8_t Byte() {
        if (!Need(1)) return 0;
        return data_[offset_++];
    }
    std::uint16_t Word() {
        if (!Need(2)) return 0;
        const std::uint16_t value = std::uint16_t(data_[offset_] | data_[offset_ + 1] << 8);
        offset_ += 2;
        return value;
    }
    std::uint32_t Dword() {
        const std::uint32_t low = Word();
        return low | std::uint32_t(Word()) << 16;
    }
    std::int16_t Short() { return std::int16_t(Word()); }

    std::wstring String() {
        std::wstring text;
        for (std::uint16_t c = Word(); c != 0 && !failed_; c = Word()) text.push_back(wchar_t(c));
        return text;
    }

    NameOrOrdinal Name() {
        NameOrOrdinal name;
        const std::uint16_t first = Word();
        if (first == 0) return name;
        if (first == 0xFFFF) {
            name.kind = NameOrOrdinal::Kind::Ordinal;
            name.ordinal = Word();
            return name;
        }
        name.kind = NameOrOrdinal::Kind::Text;
        name.text.push_back(wchar_t(first));
        name.text += String();
        return name;
    }

    void Skip(std::size_t count) {
        if (Need(count)) offset_ += count;
    }
    // Items start on 32-bit boundaries, counted from the template's start.
    void AlignDword() { Skip((4 - offset_ % 4) % 4); }

private:
    bool Need(std::size_t count) {
        if (failed_ || size_ - offset_ < count) {
            failed_ = true;
            return false;
        }
        return true;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t offset_ = 0;
    bool failed_ = false;
};

// Styles and box are read apart: a template keeps its item count between
// them.
void ReadStyles(Reader& in, WindowFields& fields) {
    fields.helpId = in.Dword();
    fields.exStyle = in.Dword();
    fields.style = in.Dword();
}

void ReadBox(Reader& in, WindowFields& fields) {
    fields.x = in.Short();
    fields.y = in.Short();
    fields.cx = in.Short();
    fields.cy = in.Short();
}

}  // namespace

bool ParseDialogTemplateEx(const std::uint8_t* data, std::size_t size, DialogTemplate& out,
                           std::string& error) {
    Reader in(data, size);
    DialogTemplate dialog;
    dialog.version = in.Word();
    dialog.signature = in.Word();
    if (!in.Failed() && (dialog.version != 1 || dialog.signature != 0xFFFF)) {
        error = "not an extended dialog template (version " + std::to_string(dialog.version) +
                ", signature " + std::to_string(dialog.signature) + ")";
        return false;
    }
    ReadStyles(in, dialog);
    const std::uint16_t count = in.Word();
    ReadBox(in, dialog);
    dialog.menu = in.Name();
    dialog.windowClass = in.Name();
    dialog.title = in.String();
    dialog.hasFont = (dialog.style & kSetFont) != 0;
    if (dialog.hasFont) {
        dialog.pointSize = in.Word();
        dialog.weight = in.Word();
        dialog.italic = in.Byte();
        dialog.charset = in.Byte();
        dialog.typeface = in.String();
    }
    std::string where = "its header";
    for (std::uint16_t i = 0; i < count && !in.Failed(); ++i) {
        where = "item " + std::to_string(i) + " of " + std::to_string(count);
        in.AlignDword();
        DialogItem item;
        ReadStyles(in, item);
        ReadBox(in, item);
        item.id = std::int32_t(in.Dword());
        item.windowClass = in.Name();
        item.title = in.Name();
        item.extraCount = in.Word();
        in.Skip(item.extraCount);
        dialog.items.push_back(item);
    }
    if (in.Failed()) {
        error = "template ends inside " + where + " (" + std::to_string(size) + " bytes)";
        return false;
    }
    out = std::move(dialog);
    return true;
}
