// The firmware image pipeline under the real LZ service: our compressor
// against the platform's expansion, the pipeline on the resources linked into
// this program, damaged and missing images, taken names and impossible
// temporary directories. Every test runs in a temporary directory of its own
// (TMP points there) and checks that no res????.tmp file is left behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "TempFileName.h"
#include "ImagePipeline.h"
#include "ProgramLikeData.h"
#include "SzddCodec.h"

namespace szdd = image::szdd;

namespace {

using Bytes = std::vector<BYTE>;

Bytes ResourceBytes(HMODULE module, const wchar_t* type, const wchar_t* name) {
    HRSRC found = FindResourceW(module, name, type);
    if (!found) return {};
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    return Bytes(data, data + SizeofResource(module, found));
}

// The uncompressed image that the build compressed into "MOT".
Bytes ExpectedImage() {
    return ResourceBytes(nullptr, MAKEINTRESOURCEW(10) /* RT_RCDATA */, L"EXPECTED_IMAGE");
}

Bytes StoredImage() { return ResourceBytes(nullptr, L"FIRMWARE", L"MOT"); }

bool ReadWholeFile(const std::wstring& path, Bytes& out) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    out.assign(GetFileSize(file, nullptr), 0);
    DWORD done = 0;
    const bool ok = out.empty() || (ReadFile(file, out.data(), DWORD(out.size()), &done, nullptr) &&
                                    done == out.size());
    CloseHandle(file);
    return ok;
}

void WriteWholeFile(const std::wstring& path, const Bytes& data) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << "GetLastError " << GetLastError();
    DWORD done = 0;
    if (!data.empty()) {
        ASSERT_TRUE(WriteFile(file, data.data(), DWORD(data.size()), &done, nullptr));
    }
    CloseHandle(file);
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());  // the texts checked here are ASCII
}

// The draw that MakeTempFileName makes first after srand(1), which puts the
// generator back where an unseeded program starts.
std::wstring FirstDrawName() {
    std::srand(1);
    const std::wstring name = FormatTempFileName(std::rand() % 65536);
    std::srand(1);
    return name;
}

class PipelineTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t base[MAX_PATH];
        ASSERT_NE(GetTempPathW(MAX_PATH, base), 0u);
        static int serial = 0;
        dir_ = std::wstring(base) + L"pipeline-test-" + std::to_wstring(GetCurrentProcessId()) +
               L"-" + std::to_wstring(++serial) + L"\\";
        ASSERT_TRUE(CreateDirectoryW(dir_.c_str(), nullptr)) << "GetLastError " << GetLastError();
        SetTemp(dir_);
        std::srand(1);
    }

    void TearDown() override {
        SetTemp(L"");
        EXPECT_EQ(ResFiles(), std::vector<std::wstring>{}) << "temporary files left behind";
        for (const std::wstring& name : AllFiles()) DeleteFileW((dir_ + name).c_str());
        RemoveDirectoryW(dir_.c_str());
    }

    // Points GetTempPathW at dir (the empty string restores the default).
    static void SetTemp(const std::wstring& dir) {
        static const std::wstring savedTmp = Env(L"TMP"), savedTemp = Env(L"TEMP");
        SetEnvironmentVariableW(L"TMP", dir.empty() ? savedTmp.c_str() : dir.c_str());
        SetEnvironmentVariableW(L"TEMP", dir.empty() ? savedTemp.c_str() : dir.c_str());
    }

    static std::wstring Env(const wchar_t* name) {
        wchar_t value[32767];
        return GetEnvironmentVariableW(name, value, 32767) ? value : L"";
    }

    std::vector<std::wstring> Files(const wchar_t* pattern) const {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((dir_ + pattern).c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return names;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names.push_back(found.cFileName);
        } while (FindNextFileW(search, &found));
        FindClose(search);
        return names;
    }
    std::vector<std::wstring> ResFiles() const { return Files(L"res????.tmp"); }
    std::vector<std::wstring> AllFiles() const { return Files(L"*"); }

    std::wstring dir_;
};

// ---------------------------------------------------------------------------
// Our compressor against the platform's expansion

TEST_F(PipelineTest, PlatformExpandsWhatOurCompressorWrites) {
    struct Input {
        const char* what;
        Bytes data;
    };
    Bytes text;
    for (int i = 0; i < 400; ++i) {
        const std::string line = "line " + std::to_string(i % 37) + ": the pen wrote a note\r\n";
        text.insert(text.end(), line.begin(), line.end());
    }
    Bytes noise(20000);
    unsigned state = 12345;
    for (BYTE& b : noise) b = BYTE((state = state * 1103515245u + 12345u) >> 16);
    const std::vector<std::uint8_t> program = szdd::MakeProgramLikeData(70000, 7);
    const Input inputs[] = {
        {"one byte", {0x42}},
        {"spaces, matched against the window's initial fill", Bytes(300, ' ')},
        {"one repeated byte, long overlapping references", Bytes(5000, 0xFF)},
        {"text", text},
        {"noise, nearly all literals", noise},
        {"program-like data larger than the window", Bytes(program.begin(), program.end())},
        {"the image this build carries", ExpectedImage()},
    };
    for (const Input& input : inputs) {
        SCOPED_TRACE(input.what);
        ASSERT_FALSE(input.data.empty());
        std::vector<std::uint8_t> packed;
        ASSERT_EQ(szdd::SzddCompress(input.data.data(), input.data.size(), packed),
                  szdd::SzddError::None);
        const std::wstring source = dir_ + L"input.sz_", expanded = dir_ + L"input.out";
        WriteWholeFile(source, Bytes(packed.begin(), packed.end()));
        DWORD written = 0;
        ASSERT_TRUE(ExpandFile(expanded, source, &written)) << Narrow(LastImagePipelineError());
        EXPECT_EQ(written, input.data.size());
        Bytes back;
        ASSERT_TRUE(ReadWholeFile(expanded, back));
        EXPECT_TRUE(back == input.data);
        DeleteFileW(source.c_str());
        DeleteFileW(expanded.c_str());
    }
}

// ---------------------------------------------------------------------------
// The whole pipeline

TEST_F(PipelineTest, BuiltResourceYieldsTheCarriedImage) {
    const Bytes expected = ExpectedImage();
    ASSERT_EQ(expected.size(), 53256u);
    BYTE* image = nullptr;
    int length = 0;
    ASSERT_TRUE(LoadFirmwareImage(nullptr, &image, &length)) << Narrow(LastImagePipelineError());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(length, 53256);
    EXPECT_TRUE(Bytes(image, image + length) == expected);
    std::free(image);
}

TEST_F(PipelineTest, NamesFollowTheUnseededGeneratorAndSkipTakenOnes) {
    const std::wstring first = MakeTempFileName();
    std::srand(1);
    EXPECT_EQ(MakeTempFileName(), first) << "two runs draw the same names";
    EXPECT_EQ(first, dir_ + FirstDrawName());

    // Something already carries the first name: it is skipped and left as it
    // was, and the pipeline still works.
    const Bytes planted = {'k', 'e', 'e', 'p'};
    WriteWholeFile(first, planted);
    std::srand(1);
    const std::wstring second = MakeTempFileName();
    EXPECT_NE(second, first);
    EXPECT_EQ(second.substr(0, dir_.size()), dir_);

    std::srand(1);
    BYTE* image = nullptr;
    int length = 0;
    EXPECT_TRUE(LoadFirmwareImage(nullptr, &image, &length)) << Narrow(LastImagePipelineError());
    std::free(image);
    Bytes after;
    ASSERT_TRUE(ReadWholeFile(first, after));
    EXPECT_TRUE(after == planted);
    DeleteFileW(first.c_str());
}

TEST_F(PipelineTest, NameSearchGivesUpWhenEveryDrawIsTaken) {
    std::srand(1);
    std::vector<std::wstring> taken;
    for (int i = 0; i < kMaxTempNameDraws; ++i) {
        taken.push_back(dir_ + FormatTempFileName(std::rand() % 65536));
        if (!Exists(taken.back())) WriteWholeFile(taken.back(), {});
    }
    std::srand(1);
    EXPECT_EQ(MakeTempFileName(), L"");
    EXPECT_NE(LastImagePipelineError().find(L"1000 draws"), std::wstring::npos)
        << Narrow(LastImagePipelineError());
    // One more draw than the bound finds a free name.
    EXPECT_NE(MakeTempFileName(), L"");
    for (const std::wstring& path : taken) DeleteFileW(path.c_str());
}

TEST_F(PipelineTest, WorksInALongTemporaryDirectoryNamedOutsideTheCodePage) {
    // A profile name such as this one, and a path past the 128 characters
    // of the LZ service's OpenFile-based LZOpenFileW.
    const std::wstring inner = dir_ + L"\u0141ukasz \u6797 " + std::wstring(120, L'x') + L"\\";
    ASSERT_GT(inner.size() + 12, 128u);
    ASSERT_TRUE(CreateDirectoryW(inner.c_str(), nullptr)) << "GetLastError " << GetLastError();
    SetTemp(inner);
    BYTE* image = nullptr;
    int length = 0;
    EXPECT_TRUE(LoadFirmwareImage(nullptr, &image, &length)) << Narrow(LastImagePipelineError());
    EXPECT_EQ(length, 53256);
    std::free(image);
    SetTemp(dir_);
    EXPECT_TRUE(RemoveDirectoryW(inner.c_str())) << "the directory is left empty";
}

TEST_F(PipelineTest, UnusableTemporaryDirectoryFailsAtOnce) {
    // With the name joined on, the path would pass MAX_PATH.
    SetTemp(L"C:\\" + std::wstring(MAX_PATH - 12, L'd') + L"\\");
    EXPECT_EQ(MakeTempFileName(), L"");
    EXPECT_NE(LastImagePipelineError().find(L"MAX_PATH"), std::wstring::npos)
        << Narrow(LastImagePipelineError());

    // The directory alone is longer than GetTempPathW's buffer.
    SetTemp(L"C:\\" + std::wstring(300, L'd') + L"\\");
    BYTE* image = reinterpret_cast<BYTE*>(1);
    int length = 17;
    EXPECT_FALSE(LoadFirmwareImage(nullptr, &image, &length));
    EXPECT_EQ(image, nullptr);
    EXPECT_EQ(length, 17);
    EXPECT_NE(LastImagePipelineError().find(L"GetTempPathW"), std::wstring::npos)
        << Narrow(LastImagePipelineError());
}

TEST_F(PipelineTest, MissingImageFailsWithoutCreatingFiles) {
    BYTE* image = reinterpret_cast<BYTE*>(1);
    int length = 17;
    EXPECT_FALSE(LoadFirmwareImage(GetModuleHandleW(L"kernel32.dll"), &image, &length));
    EXPECT_EQ(image, nullptr);
    EXPECT_EQ(length, 17) << "the length is left as it was";
    EXPECT_NE(LastImagePipelineError().find(L"FindResourceW"), std::wstring::npos)
        << Narrow(LastImagePipelineError());
    EXPECT_EQ(AllFiles(), std::vector<std::wstring>{});
}

TEST_F(PipelineTest, DamagedImagesAreNeverHandedOn) {
    const Bytes stored = StoredImage();
    ASSERT_GT(stored.size(), 1000u);
    struct Case {
        const char* what;
        Bytes data;
        const wchar_t* reason;  // part of the error text
    };
    const auto declaring = [&stored](DWORD delta) {
        Bytes data = stored;
        DWORD declared = 0;
        for (int i = 0; i < 4; ++i) declared |= DWORD(data[10 + i]) << (8 * i);
        declared += delta;
        for (int i = 0; i < 4; ++i) data[10 + i] = BYTE(declared >> (8 * i));
        return data;
    };
    const Bytes shortStream(stored.begin(), stored.end() - 500);
    const Bytes declaresMore = declaring(1);  // one byte more than the stream holds
    const Bytes declaresLess = declaring(DWORD(-1));
    Bytes otherMethod = stored;
    otherMethod[8] = 'B';
    const Case cases[] = {
        {"stream cut short", shortStream, L"header declares"},
        {"header declares one byte more", declaresMore, L"header declares"},
        {"header declares one byte less", declaresLess, L"header declares"},
        {"unknown method", otherMethod, L"damaged"},
        {"header cut short", Bytes(stored.begin(), stored.begin() + 12), L"damaged"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring target = dir_ + L"expanded.bin";
        EXPECT_FALSE(ExpandStoredImage(c.data.data(), DWORD(c.data.size()), target));
        EXPECT_NE(LastImagePipelineError().find(c.reason), std::wstring::npos)
            << Narrow(LastImagePipelineError());
        EXPECT_FALSE(Exists(target));
        EXPECT_EQ(ResFiles(), std::vector<std::wstring>{});
    }
}

TEST_F(PipelineTest, ImageWithoutSignatureIsHandedOnUnchanged) {
    const Bytes plain = ExpectedImage();
    const std::wstring target = dir_ + L"expanded.bin";
    DWORD length = 0;
    ASSERT_TRUE(ExpandStoredImage(plain.data(), DWORD(plain.size()), target, &length))
        << Narrow(LastImagePipelineError());
    EXPECT_EQ(length, plain.size());
    Bytes back;
    ASSERT_TRUE(ReadWholeFile(target, back));
    EXPECT_TRUE(back == plain);
    DeleteFileW(target.c_str());
}

// ---------------------------------------------------------------------------
// The file steps

TEST_F(PipelineTest, ExistingFilesAreNeverOverwritten) {
    const Bytes original = {'o', 'l', 'd'};
    const std::wstring existing = dir_ + L"existing.bin";
    WriteWholeFile(existing, original);
    const BYTE fresh[] = {1, 2, 3, 4, 5};
    EXPECT_FALSE(WriteBufferToFile(existing, fresh, sizeof fresh));
    EXPECT_NE(LastImagePipelineError().find(L"CreateFileW"), std::wstring::npos);

    const std::wstring source = dir_ + L"source.bin";
    WriteWholeFile(source, Bytes(fresh, fresh + sizeof fresh));
    EXPECT_FALSE(ExpandFile(existing, source));

    Bytes after;
    ASSERT_TRUE(ReadWholeFile(existing, after));
    EXPECT_TRUE(after == original) << "neither step truncated or deleted it";
    DeleteFileW(existing.c_str());
    DeleteFileW(source.c_str());
}

TEST_F(PipelineTest, FileStepsFailCleanly) {
    const std::wstring empty = dir_ + L"empty.bin", out = dir_ + L"out.bin";
    WriteWholeFile(empty, {});
    EXPECT_FALSE(ExpandFile(out, empty)) << "an expansion that writes nothing is a failure";
    EXPECT_NE(LastImagePipelineError().find(L"no bytes"), std::wstring::npos);
    EXPECT_FALSE(Exists(out));

    EXPECT_FALSE(ExpandFile(out, dir_ + L"missing.bin"));
    EXPECT_NE(LastImagePipelineError().find(L"CreateFileW"), std::wstring::npos);
    EXPECT_FALSE(Exists(out));

    DWORD length = 99;
    EXPECT_EQ(ReadFileToBuffer(empty, &length), nullptr) << "an empty image is no image";
    EXPECT_EQ(ReadFileToBuffer(dir_ + L"missing.bin", &length), nullptr);
    EXPECT_EQ(length, 99u);
    DeleteFileW(empty.c_str());
}

}  // namespace
