#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ProgramLikeData.h"
#include "SzddCodec.h"

#ifdef _WIN32
#include <windows.h>
#include <lzexpand.h>
#endif

namespace image::szdd {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Header(std::uint32_t declared, std::uint8_t method = 'A') {
    Bytes h(kSignature.begin(), kSignature.end());
    h.push_back(method);
    h.push_back(0);
    for (int i = 0; i < 4; ++i) {
        h.push_back(static_cast<std::uint8_t>(declared >> (8 * i)));
    }
    return h;
}

Bytes Container(std::uint32_t declared, std::initializer_list<std::uint8_t> stream) {
    Bytes c = Header(declared);
    c.insert(c.end(), stream);
    return c;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Expands from a block of exactly the input's size, so that a sanitizer
// build catches any read past the end.
SzddError Expand(const Bytes& in, Bytes& out, bool keepPartial = false) {
    SzddExpandOptions options;
    options.keepPartialOutput = keepPartial;
    const std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[in.size()]);
    std::copy(in.begin(), in.end(), exact.get());
    return SzddExpand(exact.get(), in.size(), out, options);
}

// The format followed word for word: a 4,096-byte window, a write position,
// one byte at a time. Decodes the whole stream without regard to any
// declared length; sets truncated when it ends inside a reference.
Bytes PlainDecode(const std::uint8_t* stream, std::size_t size, bool& truncated) {
    std::array<std::uint8_t, 4096> window;
    window.fill(' ');
    std::size_t write = 0xFF0;
    Bytes out;
    truncated = false;
    std::size_t i = 0;
    while (i < size) {
        const unsigned flags = stream[i++];
        for (int bit = 0; bit < 8 && i < size; ++bit) {
            if ((flags >> bit) & 1) {
                out.push_back(window[write] = stream[i++]);
                write = (write + 1) % 4096;
                continue;
            }
            if (i + 1 >= size) {
                truncated = true;
                return out;
            }
            const std::size_t position = stream[i] | ((stream[i + 1] & 0xF0) << 4);
            const std::size_t count = (stream[i + 1] & 0x0F) + 3;
            i += 2;
            for (std::size_t k = 0; k < count; ++k) {
                const std::uint8_t b = window[(position + k) % 4096];
                out.push_back(window[write] = b);
                write = (write + 1) % 4096;
            }
        }
    }
    return out;
}

void ExpectRoundTrip(const Bytes& data) {
    Bytes packed;
    ASSERT_EQ(SzddCompress(data.data(), data.size(), packed), SzddError::None);
    SzddHeader header;
    ASSERT_EQ(SzddParseHeader(packed.data(), packed.size(), header), SzddError::None);
    EXPECT_EQ(header.method, 'A');
    EXPECT_EQ(header.declaredLength, data.size());
    // No input may grow beyond one flag byte per eight literals.
    EXPECT_LE(packed.size(), kHeaderSize + data.size() + (data.size() + 7) / 8);

    Bytes fast;
    ASSERT_EQ(Expand(packed, fast), SzddError::None);
    EXPECT_TRUE(fast == data) << "fast decoder differs, " << data.size() << " bytes";
    bool truncated = false;
    EXPECT_TRUE(PlainDecode(packed.data() + kHeaderSize, packed.size() - kHeaderSize, truncated) ==
                data)
        << "plain decoder differs: the stream relies on something the format does not say";
    EXPECT_FALSE(truncated);
}

// ---------------------------------------------------------------- header

TEST(SzddHeaderTest, ReadsFieldsAndRejectsOtherInput) {
    Bytes c = Container(0x01020304, {});
    c[9] = 'X';
    SzddHeader h;
    ASSERT_EQ(SzddParseHeader(c.data(), c.size(), h), SzddError::None);
    EXPECT_EQ(h.signature, kSignature);
    EXPECT_EQ(h.method, 'A');
    EXPECT_EQ(h.lastNameChar, 'X');
    EXPECT_EQ(h.declaredLength, 0x01020304u);

    // Every cut inside the header, the empty input included.
    for (std::size_t n = 0; n < kHeaderSize; ++n) {
        EXPECT_EQ(SzddParseHeader(c.data(), n, h), SzddError::TruncatedHeader) << n;
    }
    const Bytes program = Text("MZ, a Windows program and no container");
    EXPECT_EQ(SzddParseHeader(program.data(), program.size(), h), SzddError::NotSzdd);
    const Bytes shortOther = Text("SZ!");
    EXPECT_EQ(SzddParseHeader(shortOther.data(), shortOther.size(), h), SzddError::NotSzdd);
}

TEST(SzddHeaderTest, ExpandRefusesWhatItCannotDecode) {
    Bytes out{1, 2, 3};
    const Bytes plain = Text("just some text that was never compressed");
    EXPECT_EQ(Expand(plain, out, true), SzddError::NotSzdd);
    EXPECT_TRUE(out.empty());

    Bytes methodB = Container(1, {0x01, 'a'});
    methodB[8] = 'B';
    EXPECT_EQ(Expand(methodB, out), SzddError::UnknownMethod);

    const Bytes big = Container(1000, {0x01, 'a'});
    SzddExpandOptions options;
    options.maxDeclaredLength = 999;
    EXPECT_EQ(SzddExpand(big.data(), big.size(), out, options), SzddError::DeclaredTooLarge);
    EXPECT_TRUE(out.empty());
}

// ------------------------------------------------------ hand-made streams

TEST(SzddExpandTest, DecodesHandMadeStreams) {
    Bytes out;
    // Eight literals, then a group cut short after two of its items.
    EXPECT_EQ(
        Expand(Container(10, {0xFF, 'f', 'i', 'r', 'm', 'w', 'a', 'r', 'e', 0x03, '!', '\n'}), out),
        SzddError::None);
    EXPECT_EQ(out, Text("firmware!\n"));

    // A reference into the window's initial fill yields spaces: position 0,
    // five bytes, then a literal.
    EXPECT_EQ(Expand(Container(6, {0x02, 0x00, 0x02, 'x'}), out), SzddError::None);
    EXPECT_EQ(out, Text("     x"));

    // Overlapping copy: "ab" at 0xFF0, then nine bytes from 0xFF0 repeat it.
    EXPECT_EQ(Expand(Container(11, {0x03, 'a', 'b', 0xF0, 0xF6}), out), SzddError::None);
    EXPECT_EQ(out, Text("abababababa"));

    // A reference starting in the fill and running into written bytes.
    EXPECT_EQ(Expand(Container(6, {0x03, 'X', 'Y', 0xEE, 0xF1}), out), SzddError::None);
    EXPECT_EQ(out, Text("XY  XY"));

    // Across the wrap: sixteen literals fill 0xFF0..0xFFF, then a reference
    // at 0xFFE of four bytes reads 0xFFE, 0xFFF and the two it just wrote
    // at 0x000 and 0x001.
    Bytes wrap = Header(20);
    const std::string sixteen = "0123456789abcdef";
    for (int group = 0; group < 2; ++group) {
        wrap.push_back(0xFF);
        wrap.insert(wrap.end(), sixteen.begin() + 8 * group, sixteen.begin() + 8 * group + 8);
    }
    wrap.insert(wrap.end(), {0x00, 0xFE, 0xF1});
    EXPECT_EQ(Expand(wrap, out), SzddError::None);
    EXPECT_EQ(out, Text(sixteen + "efef"));
}

// ------------------------------------------------- truncated and hostile

TEST(SzddExpandTest, ReportsTruncatedAndMismatchedStreams) {
    Bytes out;
    // Two literals, then the stream stops after the first byte of a reference.
    const Bytes cutReference = Container(7, {0x03, 'h', 'i', 0xF0});
    EXPECT_EQ(Expand(cutReference, out), SzddError::TruncatedReference);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(Expand(cutReference, out, true), SzddError::TruncatedReference);
    EXPECT_EQ(out, Text("hi"));

    // Declared longer than the stream.
    const Bytes shortStream = Container(5, {0x07, 'a', 'b', 'c'});
    EXPECT_EQ(Expand(shortStream, out), SzddError::LengthShort);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(Expand(shortStream, out, true), SzddError::LengthShort);
    EXPECT_EQ(out, Text("abc"));

    // Declared shorter: decoding stops at the declared length, inside a
    // literal run and inside a reference.
    EXPECT_EQ(Expand(Container(2, {0x07, 'a', 'b', 'c'}), out, true), SzddError::LengthExceeded);
    EXPECT_EQ(out, Text("ab"));
    EXPECT_EQ(Expand(Container(4, {0x03, 'a', 'b', 0xF0, 0xF6}), out, true),
              SzddError::LengthExceeded);
    EXPECT_EQ(out, Text("abab"));
    EXPECT_EQ(Expand(Container(4, {0x03, 'a', 'b', 0xF0, 0xF6}), out), SzddError::LengthExceeded);
    EXPECT_TRUE(out.empty());

    // A trailing flag byte with no items after it is not an error.
    EXPECT_EQ(Expand(Container(8, {0xFF, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0x00}), out),
              SzddError::None);
    EXPECT_EQ(out, Text("abcdefgh"));
    EXPECT_EQ(Expand(Container(0, {}), out), SzddError::None);
    EXPECT_TRUE(out.empty());
}

TEST(SzddExpandTest, StreamMayEndAnywhere) {
    // Groups of eight references and of eight literals, cut after every
    // byte, with a declared length well past the end so that the decoder
    // takes its unchecked path as long as it can: it must hand over to the
    // checked one without reading past the input.
    Bytes stream;
    for (int group = 0; group < 6; ++group) {
        if (group % 3 == 2) {
            stream.push_back(0xFF);
            for (int i = 0; i < 8; ++i) {
                stream.push_back(static_cast<std::uint8_t>('a' + group + i));
            }
        } else {
            stream.push_back(0x00);
            for (int i = 0; i < 8; ++i) {
                stream.insert(stream.end(), {static_cast<std::uint8_t>(0xF0 + i), 0xF3});
            }
        }
    }
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        bool truncated = false;
        const Bytes expected = PlainDecode(stream.data(), cut, truncated);
        Bytes c = Header(static_cast<std::uint32_t>(expected.size() + 1000));
        c.insert(c.end(), stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(cut));
        Bytes out;
        EXPECT_EQ(Expand(c, out, true),
                  truncated ? SzddError::TruncatedReference : SzddError::LengthShort);
        EXPECT_EQ(out, expected) << "cut after " << cut;
    }
}

TEST(SzddExpandTest, HugeDeclaredLengthAllocatesOnlyWhatTheStreamCanHold) {
    const Bytes hostile = Container(0xFFFFFFFF, {0x00, 0x00, 0x0F, 0x00, 0x0F});
    Bytes out;
    EXPECT_EQ(Expand(hostile, out, true), SzddError::LengthShort);
    EXPECT_EQ(out, Bytes(36, ' '));
    EXPECT_LT(out.capacity(), 4096u);

    // A long stream of maximal references stops at the declared length even
    // where the decoder takes its unchecked path.
    Bytes flood = Header(1000);
    for (int group = 0; group < 200; ++group) {
        flood.push_back(0x00);
        for (int item = 0; item < 8; ++item) {
            flood.insert(flood.end(), {0x00, 0x0F});
        }
    }
    EXPECT_EQ(Expand(flood, out, true), SzddError::LengthExceeded);
    EXPECT_EQ(out, Bytes(1000, ' '));
}

TEST(SzddExpandTest, AgreesWithPlainDecoderOnRandomStreams) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 400; ++round) {
        // Mostly references with short distances, so that they overlap and
        // reach into the fill, over streams long enough for the fast path.
        const std::size_t size = rng() % 3000;
        Bytes stream(size);
        for (std::size_t i = 0; i < size; ++i) {
            stream[i] = static_cast<std::uint8_t>(rng());
        }
        if (round % 2 == 0) {
            for (std::size_t i = 1; i < size; i += 2) {
                stream[i] = static_cast<std::uint8_t>((stream[i] & 0x0F) | 0xF0);
            }
        }
        bool truncated = false;
        const Bytes expected = PlainDecode(stream.data(), size, truncated);
        Bytes c = Header(static_cast<std::uint32_t>(expected.size()));
        c.insert(c.end(), stream.begin(), stream.end());

        Bytes out;
        EXPECT_EQ(Expand(c, out, true),
                  truncated ? SzddError::TruncatedReference : SzddError::None);
        ASSERT_EQ(out, expected) << "round " << round;

        if (expected.size() > 1) {
            const std::uint32_t less = static_cast<std::uint32_t>(expected.size() / 2);
            c[10] = static_cast<std::uint8_t>(less);
            c[11] = static_cast<std::uint8_t>(less >> 8);
            EXPECT_EQ(Expand(c, out, true), SzddError::LengthExceeded);
            ASSERT_EQ(out, Bytes(expected.begin(), expected.begin() + less)) << "round " << round;
        }
    }
}

// ------------------------------------------------------------ round trips

TEST(SzddRoundTripTest, SmallAndDegenerateInputs) {
    ExpectRoundTrip({});
    ExpectRoundTrip({0x00});
    ExpectRoundTrip({' '});
    ExpectRoundTrip({'a', 'b'});
    ExpectRoundTrip(Text("abc"));
    ExpectRoundTrip(Bytes(100000, 0x00));
    ExpectRoundTrip(Bytes(5000, ' '));
    ExpectRoundTrip(Bytes(17, 'q'));
    ExpectRoundTrip(Bytes(19, 'q'));
    for (std::size_t period : {2, 3, 7, 16, 17, 19, 255}) {
        Bytes periodic(20000);
        for (std::size_t i = 0; i < periodic.size(); ++i) {
            periodic[i] = static_cast<std::uint8_t>((i % period) * 37);
        }
        ExpectRoundTrip(periodic);
    }
}

TEST(SzddRoundTripTest, AllByteValuesAndIncompressibleData) {
    Bytes all(256);
    for (int i = 0; i < 256; ++i) {
        all[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    }
    ExpectRoundTrip(all);
    Bytes repeated;
    for (int i = 0; i < 40; ++i) {
        repeated.insert(repeated.end(), all.rbegin(), all.rend());
    }
    ExpectRoundTrip(repeated);

    std::mt19937 rng(7);
    Bytes noise(70000);
    for (auto& b : noise) {
        b = static_cast<std::uint8_t>(rng());
    }
    ExpectRoundTrip(noise);
}

TEST(SzddRoundTripTest, ReferencesAcrossTheWindowWrap) {
    // Blocks that recur 4,012 to 4,096 bytes later, with noise between, so
    // that the useful sources sit at the far end of the window (the very
    // last byte of it included) and the write position wraps many times.
    std::mt19937 rng(99);
    Bytes data;
    Bytes block(120);
    for (int round = 0; round < 60; ++round) {
        for (auto& b : block) {
            b = static_cast<std::uint8_t>(rng());
        }
        const std::size_t at = data.size();
        data.insert(data.end(), block.begin(), block.end());
        const std::size_t gap = 4096 - 12 * static_cast<std::size_t>(round % 8) - block.size();
        for (std::size_t i = 0; i < gap; ++i) {
            data.push_back(static_cast<std::uint8_t>(rng()));
        }
        data.insert(data.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                    data.begin() + static_cast<std::ptrdiff_t>(at + block.size()));
    }
    ExpectRoundTrip(data);
    Bytes packed;
    ASSERT_EQ(SzddCompress(data.data(), data.size(), packed), SzddError::None);
    // Each repeated block must have been found: noise alone would take 9/8.
    EXPECT_LT(packed.size(), data.size() * 9 / 8 - 60 * 100);
}

TEST(SzddRoundTripTest, ProgramLikeImages) {
    const Bytes image = MakeProgramLikeData(53256, 3);
    ExpectRoundTrip(image);
    Bytes packed;
    ASSERT_EQ(SzddCompress(image.data(), image.size(), packed, 'n'), SzddError::None);
    EXPECT_EQ(packed[9], 'n');
    EXPECT_LT(packed.size(), image.size() * 3 / 4);

    // Long enough for the match finder to renumber its positions.
    ExpectRoundTrip(MakeProgramLikeData(5 << 20, 4));
}

TEST(SzddRoundTripTest, UsesTheInitialSpaceFill) {
    // Leading spaces come from the fill: two references of 18 cover them.
    Bytes packed;
    const Bytes spaces(36, ' ');
    ASSERT_EQ(SzddCompress(spaces.data(), spaces.size(), packed), SzddError::None);
    EXPECT_EQ(packed.size(), kHeaderSize + 1 + 2 * 2);
    ExpectRoundTrip(Text("    indented text\n        more indented text\n"));
}

// ---------------------------------------- independent implementations

// A scratch directory, removed with everything in it.
class ScratchDir {
public:
    ScratchDir()
        : path_(std::filesystem::temp_directory_path() /
                ("szdd_test_" + std::to_string(reinterpret_cast<std::uintptr_t>(this)))) {
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::filesystem::path operator/(const char* name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

void WriteFile(const std::filesystem::path& p, const Bytes& b) {
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

Bytes ReadFile(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// Program-like data after a run of spaces, which the compressor takes from
// the window's initial fill.
Bytes InteropSample() {
    Bytes sample(300, ' ');
    const Bytes image = MakeProgramLikeData(53256, 5);
    sample.insert(sample.end(), image.begin(), image.end());
    return sample;
}

#ifdef _WIN32
TEST(SzddInteropTest, WindowsLzServiceExpandsOurOutput) {
    const Bytes sample = InteropSample();
    Bytes ours;
    ASSERT_EQ(SzddCompress(sample.data(), sample.size(), ours), SzddError::None);
    ScratchDir dir;
    WriteFile(dir / "image.sz_", ours);
    std::wstring in = (dir / "image.sz_").wstring();
    std::wstring out = (dir / "image.bin").wstring();
    OFSTRUCT inInfo{};
    OFSTRUCT outInfo{};
    const INT src = LZOpenFileW(in.data(), &inInfo, OF_READ);
    const INT dst = LZOpenFileW(out.data(), &outInfo, OF_CREATE | OF_WRITE);
    ASSERT_GE(src, 0);
    ASSERT_GE(dst, 0);
    const LONG copied = LZCopy(src, dst);
    LZClose(src);
    LZClose(dst);
    EXPECT_EQ(copied, static_cast<LONG>(sample.size()));
    EXPECT_TRUE(ReadFile(dir / "image.bin") == sample);
}
#else
TEST(SzddInteropTest, MscompressAndOursReadEachOther) {
    if (std::system("mscompress -V >/dev/null 2>&1") != 0 ||
        std::system("msexpand -V >/dev/null 2>&1") != 0) {
        FAIL() << "mscompress/msexpand are missing: install mscompress (scripts/setup.sh does)";
    }
    const Bytes sample = InteropSample();
    ScratchDir dir;

    // Theirs, expanded by us.
    WriteFile(dir / "image.bin", sample);
    ASSERT_EQ(
        std::system(("mscompress '" + (dir / "image.bin").string() + "' 2>/dev/null").c_str()), 0);
    const Bytes theirs = ReadFile(dir / "image.bin_");
    Bytes out;
    EXPECT_EQ(Expand(theirs, out), SzddError::None);
    EXPECT_TRUE(out == sample);

    // Ours, expanded by them.
    Bytes ours;
    ASSERT_EQ(SzddCompress(sample.data(), sample.size(), ours), SzddError::None);
    WriteFile(dir / "ours.sz_", ours);
    const std::string command = "msexpand < '" + (dir / "ours.sz_").string() + "' > '" +
                                (dir / "ours.out").string() + "' 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_TRUE(ReadFile(dir / "ours.out") == sample);
    EXPECT_LE(ours.size(), theirs.size());
}
#endif

}  // namespace
}  // namespace image::szdd
