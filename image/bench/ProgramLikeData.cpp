#include "ProgramLikeData.h"

#include <array>
#include <string>

namespace image::szdd {

namespace {

// splitmix64: small, fast and the same everywhere (unlike the standard
// distributions, whose output differs between library implementations).
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}

    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // Uniform in [0, n), n > 0.
    std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>(Next() % n); }

    // Small values are much more likely than large ones, as with register
    // numbers, stack offsets and loop counts in real code.
    std::uint32_t Skewed(std::uint32_t n) {
        const std::uint32_t a = Below(n);
        const std::uint32_t b = Below(n);
        return a < b ? a : b;
    }

private:
    std::uint64_t state_;
};

constexpr std::uint32_t kImageBase = 0x00401000;

const std::array<const char*, 32> kWords = {
    "device", "firmware", "update", "error",  "version", "report", "pen",     "page",
    "failed", "cannot",   "open",   "write",  "read",    "buffer", "length",  "timeout",
    "handle", "image",    "block",  "offset", "status",  "reply",  "command", "mode",
    "%s: %d", "0x%08X",   "\r\n",   "USB",    "HID",     "the",    "is",      "not"};

class Generator {
public:
    Generator(std::size_t size, std::uint64_t seed) : size_(size), rng_(seed) {
        out_.reserve(size + 256);
    }

    std::vector<std::uint8_t> Run() {
        while (out_.size() < size_) {
            const std::uint32_t pick = rng_.Below(100);
            if (pick < 62) {
                Function();
            } else if (pick < 74) {
                PointerTable();
            } else if (pick < 80) {
                ConstantTable();
            } else if (pick < 91) {
                Strings();
            } else if (pick < 95) {
                WideStrings();
            } else {
                Align(512, 0x00);
            }
        }
        out_.resize(size_);
        return std::move(out_);
    }

private:
    void Byte(std::uint32_t b) { out_.push_back(static_cast<std::uint8_t>(b)); }

    void Bytes(std::initializer_list<std::uint32_t> bytes) {
        for (std::uint32_t b : bytes) {
            Byte(b);
        }
    }

    void Le32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            Byte(v >> (8 * i));
        }
    }

    void Align(std::size_t to, std::uint8_t fill) {
        while (out_.size() % to != 0) {
            Byte(fill);
        }
    }

    std::uint32_t Address() const { return kImageBase + static_cast<std::uint32_t>(out_.size()); }

    // Displacement of a local variable or argument off the frame pointer.
    std::uint8_t FrameOffset() {
        return rng_.Below(3) == 0 ? static_cast<std::uint8_t>(8 + 4 * rng_.Skewed(6))
                                  : static_cast<std::uint8_t>(0x100 - 4 * (1 + rng_.Skewed(12)));
    }

    void Function() {
        functions_.push_back(Address());
        Bytes({0x55, 0x8B, 0xEC});  // push ebp; mov ebp, esp
        if (rng_.Below(4) != 0) {
            Bytes({0x83, 0xEC, 4u * (1 + rng_.Skewed(16))});  // sub esp, n
        }
        const std::uint32_t saved = rng_.Below(4);
        for (std::uint32_t i = 0; i < saved; ++i) {
            Byte(0x53 + i);  // push ebx / esp / ebp / esi
        }
        const std::uint32_t count = 8 + rng_.Below(60);
        for (std::uint32_t i = 0; i < count; ++i) {
            Instruction();
        }
        for (std::uint32_t i = saved; i-- > 0;) {
            Byte(0x5B + i);
        }
        if (rng_.Below(2) == 0) {
            Bytes({0x8B, 0xE5, 0x5D, 0xC3});  // mov esp, ebp; pop ebp; ret
        } else {
            Bytes({0xC9, 0xC2, 4u * rng_.Skewed(5), 0x00});  // leave; ret n
        }
        Align(16, 0xCC);
    }

    void Instruction() {
        const std::uint32_t reg = rng_.Skewed(8);
        switch (rng_.Below(12)) {
            case 0:  // mov reg, [ebp+d]
                Bytes({0x8B, 0x45 + 8 * reg, FrameOffset()});
                break;
            case 1:  // mov [ebp+d], reg
                Bytes({0x89, 0x45 + 8 * reg, FrameOffset()});
                break;
            case 2:  // push dword [ebp+d]
                Bytes({0xFF, 0x75, FrameOffset()});
                break;
            case 3: {  // call a function met before (or one further on)
                Byte(0xE8);
                const std::uint32_t target =
                    functions_.empty() || rng_.Below(5) == 0
                        ? Address() + 0x200 + rng_.Below(0x4000)
                        : functions_[functions_.size() - 1 -
                                     rng_.Skewed(static_cast<std::uint32_t>(
                                         functions_.size() < 64 ? functions_.size() : 64))];
                Le32(target - (Address() + 4));
                break;
            }
            case 4:  // test eax, eax; jz / jnz short
                Bytes({0x85, 0xC0, 0x74 + rng_.Below(2), 4 + rng_.Skewed(40)});
                break;
            case 5:  // cmp reg, imm8; jcc short
                Bytes({0x83, 0xF8 + reg, rng_.Skewed(32), 0x72 + rng_.Below(12), rng_.Skewed(60)});
                break;
            case 6:  // xor reg, reg
                Bytes({0x33, 0xC0 + 9 * reg});
                break;
            case 7:  // mov reg, imm32 (often an address)
                Byte(0xB8 + reg);
                Le32(rng_.Below(2) ? kImageBase + 0x20000 + 4 * rng_.Below(0x800)
                                   : rng_.Skewed(256));
                break;
            case 8:  // push imm8
                Bytes({0x6A, rng_.Skewed(64)});
                break;
            case 9:  // add esp, n after a call
                Bytes({0x83, 0xC4, 4u * (1 + rng_.Skewed(6))});
                break;
            case 10:  // lea reg, [ebp+d]
                Bytes({0x8D, 0x45 + 8 * reg, FrameOffset()});
                break;
            default:  // mov reg, [reg+d]
                Bytes({0x8B, 0x40 + 8 * reg + rng_.Skewed(8), 4 * rng_.Skewed(16)});
                break;
        }
    }

    void PointerTable() {
        const std::uint32_t count = 4 + rng_.Below(60);
        std::uint32_t p =
            functions_.empty()
                ? kImageBase
                : functions_[rng_.Below(static_cast<std::uint32_t>(functions_.size()))];
        for (std::uint32_t i = 0; i < count; ++i) {
            Le32(p);
            p += 16 * (1 + rng_.Skewed(24));
        }
    }

    void ConstantTable() {
        const std::uint32_t count = 8 + rng_.Below(120);
        const std::uint32_t width = 1u << rng_.Below(3);  // 1, 2 or 4 bytes each
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint32_t v =
                rng_.Below(3) == 0 ? rng_.Below(1u << (8 * width - 1)) : i * (1 + rng_.Skewed(4));
            for (std::uint32_t b = 0; b < width; ++b) {
                Byte(v >> (8 * b));
            }
        }
        Align(4, 0x00);
    }

    std::string Sentence() {
        std::string s;
        const std::uint32_t words = 2 + rng_.Below(7);
        for (std::uint32_t i = 0; i < words; ++i) {
            if (i > 0) {
                s += ' ';
            }
            s += kWords[rng_.Skewed(static_cast<std::uint32_t>(kWords.size()))];
        }
        return s;
    }

    void Strings() {
        const std::uint32_t count = 2 + rng_.Below(20);
        for (std::uint32_t i = 0; i < count; ++i) {
            for (char c : Sentence()) {
                Byte(static_cast<std::uint8_t>(c));
            }
            Byte(0);
        }
        Align(4, 0x00);
    }

    void WideStrings() {
        const std::uint32_t count = 1 + rng_.Below(8);
        for (std::uint32_t i = 0; i < count; ++i) {
            for (char c : Sentence()) {
                Bytes({static_cast<std::uint8_t>(c), 0});
            }
            Bytes({0, 0});
        }
        Align(4, 0x00);
    }

    std::size_t size_;
    Random rng_;
    std::vector<std::uint8_t> out_;
    std::vector<std::uint32_t> functions_;
};

}  // namespace

std::vector<std::uint8_t> MakeProgramLikeData(std::size_t size, std::uint64_t seed) {
    return Generator(size, seed).Run();
}

}  // namespace image::szdd
