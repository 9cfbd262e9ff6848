// penflash run as a user runs it, against each scenario of the emulated pen:
// exit codes, the JSON report, the output, and the emulator's transcript of
// what reached the pen.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "CommandLine.h"
#include "PenflashVersion.h"
#include "Sha256.h"
#include "SzddCodec.h"
#include "core/Timing.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using Json = nlohmann::json;
using namespace std::chrono_literals;

namespace {

// A path of the build machine as this program sees it: under Wine the
// Linux root is drive Z:.
std::string NativePath(std::string path) {
#ifdef _WIN32
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
#endif
    return path;
}

const std::string& Program() {
    static const std::string program = NativePath(PENFLASH_TEST_PROGRAM);
    return program;
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(fs::u8path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::string HashOf(const std::vector<std::uint8_t>& bytes) {
    return penflash::Sha256::HexOf(bytes.data(), bytes.size());
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// The emulator's transcript of one run.
struct Transcript {
    std::vector<std::string> lines;

    static Transcript Read(const fs::path& path) {
        Transcript t;
        std::ifstream in(path);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            t.lines.push_back(line);
        }
        return t;
    }

    size_t Lines(const std::string& prefix) const {
        size_t n = 0;
        for (const auto& l : lines) n += l.rfind(prefix, 0) == 0;
        return n;
    }

    bool Has(const std::string& text) const {
        for (const auto& l : lines) {
            if (l.find(text) != std::string::npos) return true;
        }
        return false;
    }

    // The image as the pen received it: the length from the begin report,
    // then the bytes of each block report at its offset.
    std::vector<std::uint8_t> Image() const {
        std::vector<std::uint8_t> image;
        size_t length = 0;
        bool begun = false;
        for (const auto& line : lines) {
            if (line.rfind("OUT ", 0) != 0) continue;
            std::vector<std::uint8_t> report;
            for (size_t i = 4; i + 1 < line.size(); i += 3) {
                report.push_back(
                    static_cast<std::uint8_t>(std::stoul(line.substr(i, 2), nullptr, 16)));
            }
            if (report.size() < 7 || report[1] != 0x02) continue;
            const size_t value =
                report[3] | report[4] << 8 | report[5] << 16 | static_cast<size_t>(report[6]) << 24;
            if (report[2] == 0x03) {
                begun = true;
                length = value;
                image.clear();
            } else if (report[2] == 0x02 && begun) {
                EXPECT_EQ(value, image.size()) << "blocks out of order";
                const size_t room = report.size() - 7;
                const size_t left = length - image.size();
                const size_t take = left >= room ? room & ~size_t{3} : left;
                image.insert(image.end(), report.begin() + 7, report.begin() + 7 + take);
                if (image.size() == length) begun = false;
            }
        }
        return image;
    }
};

// Sets an environment variable for the children started while it lives.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value) : m_name(name) {
#ifdef _WIN32
        SetEnvironmentVariableA(name, value.c_str());
#else
        setenv(name, value.c_str(), 1);
#endif
    }
    ~ScopedEnvironment() {
#ifdef _WIN32
        SetEnvironmentVariableA(m_name, nullptr);
#else
        unsetenv(m_name);
#endif
    }

private:
    const char* m_name;
};

class PenflashCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
#ifdef _WIN32
        const unsigned long pid = GetCurrentProcessId();
#else
        const unsigned long pid = static_cast<unsigned long>(getpid());
#endif
        dir = fs::temp_directory_path() / ("penflash-test-" + std::to_string(pid)) / info->name();
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir.parent_path()); }

    std::string PathOf(const char* name) const { return (dir / name).string(); }

    // Runs penflash against scenario with a transcript; further args follow.
    RunResult Emulated(const std::string& command, const std::string& scenario,
                       std::vector<std::string> args = {}, const std::string& input = "") {
        std::vector<std::string> all = {command, "--emulate", scenario, "--transcript",
                                        PathOf("transcript.log")};
        all.insert(all.end(), args.begin(), args.end());
        return RunProgram(Program(), all, input);
    }

    Transcript Log() const { return Transcript::Read(dir / "transcript.log"); }

    static Json JsonOf(const RunResult& r) {
        const Json json = Json::parse(r.out, nullptr, false);
        EXPECT_FALSE(json.is_discarded()) << "stdout is not one JSON object:\n" << r.out;
        return json;
    }

    fs::path dir;
};

const std::vector<std::uint8_t>& StandInImage() {
    static const auto bytes = ReadBytes(NativePath(PENFLASH_TEST_IMAGE));
    return bytes;
}

}  // namespace

TEST_F(PenflashCliTest, HelpVersionAndUsageErrors) {
    const RunResult help = RunProgram(Program(), {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* text : {"list", "info", "update", "Exit codes", "  7  "}) {
        EXPECT_NE(help.out.find(text), std::string::npos) << text << " missing in\n" << help.out;
    }
    const RunResult version = RunProgram(Program(), {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_NE(version.out.find("penflash " PENFLASH_VERSION), std::string::npos);

    const RunResult wrong = RunProgram(Program(), {"update", "--emulate", "no-such-scenario"});
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_TRUE(wrong.out.empty());
    EXPECT_NE(wrong.err.find("no-such-scenario"), std::string::npos);
}

TEST_F(PenflashCliTest, ListAndInfoLeaveThePenAsItIs) {
    const RunResult list = Emulated("list", "normal", {"--json"});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    const Json listed = JsonOf(list);
    ASSERT_EQ(listed["devices"].size(), 1u) << "the mouse and keyboard are not the pen";
    EXPECT_EQ(listed["devices"][0]["mode"], "normal");
    EXPECT_EQ(listed["devices"][0]["outputReportLength"], 65);

    const RunResult updateMode = Emulated("list", "update-mode");
    EXPECT_EQ(updateMode.exitCode, 0);
    EXPECT_NE(updateMode.out.find("update "), std::string::npos) << updateMode.out;
    // What list shows, info tells too: the pen is there, with its loader.
    const RunResult loader = Emulated("info", "update-mode", {"--json"});
    EXPECT_EQ(loader.exitCode, 0) << loader.err;
    EXPECT_NE(loader.err.find("is in firmware-update mode"), std::string::npos) << loader.err;
    EXPECT_EQ(JsonOf(loader)["versions"]["updateMode"], "1.02");
    EXPECT_EQ(Log().Lines("OUT "), 1u) << "info sent more than the update-mode identify";
    EXPECT_EQ(Emulated("list", "absent").exitCode, 3);

    const RunResult info = Emulated("info", "normal", {"--json"});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    const Json identity = JsonOf(info);
    EXPECT_EQ(identity["device"]["productCode"], 0x21);
    EXPECT_EQ(identity["versions"]["current"], "2.05");
    EXPECT_FALSE(Log().Has("switch to firmware-update mode")) << "info switched the pen";

    const RunResult refused = Emulated("info", "refused", {"--json"});
    EXPECT_EQ(refused.exitCode, 4);
    EXPECT_EQ(JsonOf(refused)["device"]["productCode"], 0x7F);
    EXPECT_EQ(Emulated("info", "held-open").exitCode, 4);
}

TEST_F(PenflashCliTest, UpdateStopsBeforeTheSwitchWhenThePenCannotBeUpdated) {
    const RunResult absent = Emulated("update", "absent", {"--yes"});
    EXPECT_EQ(absent.exitCode, 3) << absent.out;
    EXPECT_EQ(Log().Lines("OUT "), 0u);

    const RunResult refused = Emulated("update", "refused", {"--yes", "--json"});
    EXPECT_EQ(refused.exitCode, 4) << refused.err;
    const Json json = JsonOf(refused);
    EXPECT_EQ(json["result"], "pen-refused");
    EXPECT_EQ(json["error"]["name"], "ORVANE_ERROR_MODE_CHANGE_FAILED");
    EXPECT_FALSE(Log().Has("switch to firmware-update mode"));

    EXPECT_EQ(Emulated("update", "held-open", {"--yes"}).exitCode, 4);

    // No --yes and nothing on stdin: the answer is no.
    const RunResult declined = Emulated("update", "normal");
    EXPECT_EQ(declined.exitCode, 8) << declined.out;
    EXPECT_NE(declined.out.find("erases the notes"), std::string::npos) << declined.out;
    EXPECT_FALSE(Log().Has("switch to firmware-update mode"));
}

TEST_F(PenflashCliTest, DamagedImageIsRefusedBeforeAnyReport) {
    std::vector<std::uint8_t> container;
    const std::vector<std::uint8_t> image(3001, 0x5A);
    ASSERT_EQ(image::szdd::SzddCompress(image.data(), image.size(), container),
              image::szdd::SzddError::None);
    container[10] = static_cast<std::uint8_t>(container[10] + 1);  // declares one byte more
    WriteBytes(dir / "damaged.szdd", container);

    const RunResult damaged =
        Emulated("update", "normal", {"--yes", "--json", "--image", PathOf("damaged.szdd")});
    EXPECT_EQ(damaged.exitCode, 7) << damaged.err;
    const Json json = JsonOf(damaged);
    EXPECT_EQ(json["result"], "bad-image");
    EXPECT_EQ(json["error"]["call"], "image");
    const Transcript log = Log();
    EXPECT_EQ(log.Lines("OUT "), 0u) << "a report was written before the image was checked";
    EXPECT_FALSE(log.Has("opened"));

    EXPECT_EQ(Emulated("update", "normal", {"--yes", "--image", PathOf("missing.bin")}).exitCode,
              7);
}

// The stand-in image that a default build carries goes to the emulated pen
// only (WholeUpdateOfTheNormalPen sends it there): the real pen is refused
// before the library is called, with the way to a build with the real image.
// An image given with --image is not the carried one and is not refused.
TEST_F(PenflashCliTest, CarriedStandinImageIsRefusedForTheRealPen) {
    if (!PENFLASH_TEST_IMAGE_IS_STANDIN) GTEST_SKIP() << "this build carries a real image";
    const RunResult real = RunProgram(Program(), {"update", "--yes", "--json"});
    EXPECT_EQ(real.exitCode, 7) << real.err;
    EXPECT_EQ(JsonOf(real)["result"], "bad-image");
    EXPECT_NE(real.err.find("stand-in"), std::string::npos) << real.err;
    EXPECT_NE(real.err.find("-DFLASHWIZARD_FIRMWARE_IMAGE="), std::string::npos) << real.err;

    // A missing file fails as a file, not as the stand-in.
    const RunResult chosen =
        RunProgram(Program(), {"update", "--yes", "--image", PathOf("missing.bin")});
    EXPECT_EQ(chosen.exitCode, 7);
    const std::string said = chosen.out + chosen.err;
    EXPECT_EQ(said.find("stand-in"), std::string::npos) << said;
}

TEST_F(PenflashCliTest, WholeUpdateOfTheNormalPen) {
    // Confirmed on stdin, report on stdout, messages and progress on stderr.
    const RunResult run = Emulated("update", "normal", {"--json"}, "yes\n");
    ASSERT_EQ(run.exitCode, 0) << run.err;

    const Json json = JsonOf(run);
    EXPECT_EQ(json["result"], "success");
    EXPECT_TRUE(json["error"].is_null());
    EXPECT_EQ(json["versions"]["current"], "2.05");
    EXPECT_EQ(json["versions"]["new"], PENFLASH_IMAGE_VERSION_NAME);
    EXPECT_EQ(json["versions"]["updateMode"], "1.02");
    EXPECT_EQ(json["image"]["source"], "built-in");
    EXPECT_EQ(json["image"]["length"], StandInImage().size());
    EXPECT_EQ(json["image"]["sha256"], HashOf(StandInImage()));
    for (const char* phase : {"identify", "switch", "search", "transfer", "close", "total"}) {
        EXPECT_TRUE(json["durationsMs"].contains(phase)) << phase;
    }
    // The pen is back about a second after the switch, and paced at one
    // report a millisecond takes the 951 blocks in about a second.
    EXPECT_GE(json["durationsMs"]["search"].get<int>(), 900);
    EXPECT_GE(json["durationsMs"]["transfer"].get<int>(), 900);

    const Transcript log = Log();
    EXPECT_EQ(log.Image(), StandInImage());
    EXPECT_TRUE(log.Has("image complete"));
    EXPECT_FALSE(log.Has("VIOLATION"));

    EXPECT_EQ(Count(run.err, "Sent 100%"), 1u) << run.err;
    EXPECT_EQ(Count(run.err, "Sent "), 10u) << run.err;
    EXPECT_LT(run.err.find("Sent  10%"), run.err.find("Sent 100%"));
    EXPECT_NE(run.err.find("Update complete"), std::string::npos) << run.err;
}

TEST_F(PenflashCliTest, ChosenImageReachesThePenExactly) {
    std::vector<std::uint8_t> image(3001);  // not a whole number of blocks
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 13 + i / 7);
    std::vector<std::uint8_t> container;
    ASSERT_EQ(image::szdd::SzddCompress(image.data(), image.size(), container),
              image::szdd::SzddError::None);
    WriteBytes(dir / "image.szdd", container);
    WriteBytes(dir / "image.bin", image);

    for (const char* file : {"image.szdd", "image.bin"}) {
        // The transcript's file named by the environment, as for the
        // emulated library.
        const std::string log = PathOf((std::string(file) + ".log").c_str());
        const ScopedEnvironment env("PENLINK_EMULATOR_LOG", log);
        const RunResult run = RunProgram(Program(), {"update", "--emulate", "update-mode", "--yes",
                                                     "--json", "--image", PathOf(file)});
        ASSERT_EQ(run.exitCode, 0) << file << "\n" << run.err;
        const Json json = JsonOf(run);
        EXPECT_EQ(json["image"]["compressed"], std::string(file) == "image.szdd") << file;
        EXPECT_EQ(json["image"]["sha256"], HashOf(image)) << file;
        EXPECT_FALSE(json["versions"].contains("new"))
            << "the version of a chosen image is unknown";
        EXPECT_EQ(Transcript::Read(log).Image(), image) << file;
    }
}

TEST_F(PenflashCliTest, SlowImageAcknowledgementIsAwaitedAndAnnounced) {
    // The pen answers 4 s after the last block, longer than any other reply
    // is given.
    const RunResult run = Emulated("update", "slow-image-ack", {"--yes", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_GE(JsonOf(run)["durationsMs"]["transfer"].get<int>(), 4000);
    const size_t waiting = run.err.find("waiting for the pen to confirm the image");
    ASSERT_NE(waiting, std::string::npos) << run.err;
    EXPECT_LT(run.err.find("Sent 100%"), waiting);
    EXPECT_LT(waiting, run.err.find("Update complete"));
    EXPECT_EQ(Log().Image(), StandInImage());
}

TEST_F(PenflashCliTest, CheckAfterTheUpdateTellsWhetherTheFirmwareTook) {
    struct Case {
        const char* scenario;
        std::vector<std::string> args;
        int exit;
        const char* outcome;
        const char* version;  // null: not read
    };
    WriteBytes(dir / "raw.bin", StandInImage());
    const Case cases[] = {
        {"normal", {}, 0, "verified", PENFLASH_IMAGE_VERSION_NAME},
        {"returns-old-version", {}, 11, "not-applied", "2.05"},
        {"stays-in-update-mode", {"--verify-timeout", "20"}, 12, "stayed-in-update-mode", nullptr},
        // A chosen image: any version but the old one, or the one named.
        {"normal", {"--image", PathOf("raw.bin")}, 0, "verified", PENFLASH_IMAGE_VERSION_NAME},
        {"normal",
         {"--image", PathOf("raw.bin"), "--expect-version", "9.99"},
         11,
         "not-applied",
         PENFLASH_IMAGE_VERSION_NAME},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--yes", "--json"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const RunResult run = Emulated("update", c.scenario, args);
        const std::string what = std::string(c.scenario) + " " + std::to_string(c.args.size());
        EXPECT_EQ(run.exitCode, c.exit) << what << "\n" << run.err;
        const Json json = JsonOf(run);
        ASSERT_TRUE(json.contains("verification")) << what << "\n" << run.out;
        EXPECT_EQ(json["verification"]["outcome"], c.outcome) << what;
        EXPECT_EQ(json["verification"]["previous"], "2.05") << what;
        if (c.version != nullptr) {
            EXPECT_EQ(json["verification"]["version"], c.version) << what;
        } else {
            EXPECT_TRUE(json["verification"]["version"].is_null()) << what;
        }
        // The pen is read where it came back, never told to switch again.
        const Transcript log = Log();
        EXPECT_EQ(log.Lines("OUT 00 02 02 90 87"), 1u) << what;
        EXPECT_EQ(log.Lines("OUT 00 02 02 95 95"), c.version != nullptr ? 3u : 2u) << what;
        EXPECT_EQ(log.Image(), StandInImage()) << what;
        if (c.exit != 0) {
            EXPECT_NE(run.err.find("Update not verified"), std::string::npos) << run.err;
            EXPECT_NE(run.err.find("Run `penflash update` again"), std::string::npos) << run.err;
        }
    }
    const RunResult noImage = RunProgram(Program(), {"update", "--expect-version", "2.47"});
    EXPECT_EQ(noImage.exitCode, 2) << "--expect-version without --image";
    const RunResult badVersion =
        RunProgram(Program(), {"update", "--image", PathOf("raw.bin"), "--expect-version", "2.5"});
    EXPECT_EQ(badVersion.exitCode, 2) << "a version is X.YY";
}

TEST_F(PenflashCliTest, RecordedRunReplaysStrictly) {
    const std::string record = PathOf("run.record");
    const RunResult recorded =
        RunProgram(Program(), {"update", "--emulate", "normal", "--yes", "--record", record});
    ASSERT_EQ(recorded.exitCode, 0) << recorded.err;
    // A transcript still, with times: what reads transcripts reads it too.
    const Transcript lines = Transcript::Read(record);
    EXPECT_EQ(lines.Image(), StandInImage());
    EXPECT_EQ(lines.Lines("AT "), lines.lines.size() / 2);
    EXPECT_EQ(lines.Lines("EVENT device up 1209 0001 65 65 emu-port-1 "), 2u)
        << "the pen before the switch and after its restart";

    const RunResult replayed = Emulated("update", "replay:" + record, {"--yes", "--json"});
    ASSERT_EQ(replayed.exitCode, 0) << replayed.err;
    EXPECT_EQ(JsonOf(replayed)["verification"]["outcome"], "verified");
    EXPECT_EQ(Log().Image(), StandInImage());

    // Another image: the begin report differs, with both dumps, and the run
    // fails whatever the library made of it.
    std::vector<std::uint8_t> other = StandInImage();
    other.resize(other.size() - 1);
    WriteBytes(dir / "other.bin", other);
    const RunResult strayed =
        Emulated("update", "replay:" + record, {"--yes", "--image", PathOf("other.bin")});
    EXPECT_NE(strayed.exitCode, 0);
    EXPECT_NE(strayed.err.find("output report 6 differs from the recording"), std::string::npos)
        << strayed.err;
    const size_t expected = strayed.err.find("expected:");
    ASSERT_NE(expected, std::string::npos) << strayed.err;
    EXPECT_NE(strayed.err.find("0000: 00 02 03 08 d0", expected), std::string::npos) << strayed.err;
    EXPECT_NE(strayed.err.find("fewer than the recording has"), std::string::npos);

    const RunResult missing = Emulated("update", "replay:" + PathOf("none.record"), {"--yes"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.out.find("cannot read the recording"), std::string::npos) << missing.out;
}

TEST_F(PenflashCliTest, FailuresAfterTheSwitchHaveTheirOwnCodesAndClose) {
    const RunResult notBack =
        Emulated("update", "never-returns", {"--yes", "--json", "--search-timeout", "1"});
    EXPECT_EQ(notBack.exitCode, 5) << notBack.err;
    EXPECT_EQ(JsonOf(notBack)["result"], "pen-not-back");

    // With penflash's own limit at its default, the library's long search
    // after the switch (all 101 tries) gives up first: its answer, not the
    // limit, ends the wait, and it is "not back", not "no pen". The
    // emulator shortens the pauses between the tries.
    const penlink::Timing product;
    ASSERT_GT(penflash::Options{}.searchTimeoutSeconds * 1000u,
              product.longSearchTries * product.searchPauseMs);
    {
        const ScopedEnvironment pause("PENLINK_EMULATOR_SEARCH_PAUSE_MS", "1");
        const RunResult gaveUp = Emulated("update", "never-returns", {"--yes", "--json"});
        EXPECT_EQ(gaveUp.exitCode, 5) << gaveUp.err;
        const Json json = JsonOf(gaveUp);
        EXPECT_EQ(json["result"], "pen-not-back");
        EXPECT_EQ(json["error"]["name"], "NOT_FOUND_AFTER_SWITCH");
        EXPECT_NE(gaveUp.err.find("did not come back in firmware-update mode after the switch"),
                  std::string::npos)
            << gaveUp.err;
        EXPECT_TRUE(Log().Has("search result 2 1")) << "the library did not give up";
    }

    struct Case {
        const char* scenario;
        const char* call;
        const char* name;
    };
    for (const Case& c :
         {Case{"bad-start-ack", "FWUStartFirmwareUpdate", "ORVANE_ERROR_BAD_ACK"},
          Case{"bad-image-ack", "FWUSendFirmware", "ORVANE_ERROR_BAD_ACK"},
          Case{"unplug-during-transfer", "FWUSendFirmware", "ORVANE_ERROR_WRITE_FAILED"}}) {
        const RunResult run = Emulated("update", c.scenario, {"--yes", "--json"});
        EXPECT_EQ(run.exitCode, 6) << c.scenario << "\n" << run.err;
        const Json json = JsonOf(run);
        EXPECT_EQ(json["error"]["call"], c.call) << c.scenario;
        EXPECT_EQ(json["error"]["name"], c.name) << c.scenario;
        EXPECT_EQ(Count(run.err, "Sent 100%"), std::string(c.scenario) == "bad-image-ack" ? 1u : 0u)
            << c.scenario;
        if (std::string(c.scenario) != "unplug-during-transfer") {
            EXPECT_TRUE(Log().Has("closing command")) << c.scenario << ": the pen was not closed";
        }
    }
}

// Ctrl-C reaches a child here as a POSIX signal; the Windows build has no
// such test.
#ifndef _WIN32
TEST_F(PenflashCliTest, CtrlCStopsBeforeTheTransferAndWaitsDuringIt) {
    {
        ChildProcess child(Program(), {"update", "--emulate", "normal", "--yes", "--transcript",
                                       PathOf("search.log")});
        ASSERT_TRUE(child.WaitForOutput("Waiting for the pen", 10s)) << child.Out();
        child.Interrupt();
        EXPECT_EQ(child.Wait(30s), 8) << child.Out();
        EXPECT_FALSE(Transcript::Read(dir / "search.log").Has("image of"));
        // The pen was told to switch: the user learns where it is and how
        // the update completes.
        EXPECT_NE(child.Out().find("the pen is now in firmware-update mode"), std::string::npos)
            << child.Out();
        EXPECT_NE(child.Out().find("`penflash update` again"), std::string::npos);
    }
    ChildProcess child(Program(), {"update", "--emulate", "normal", "--yes", "--transcript",
                                   PathOf("transfer.log")});
    ASSERT_TRUE(child.WaitForOutput("Sent  10%", 10s)) << child.Out();
    child.Interrupt();
    // The transfer ends whole; the held Ctrl-C then skips the check after it.
    EXPECT_EQ(child.Wait(30s), 8) << child.Out();
    EXPECT_NE(child.Out().find("goes on to its end"), std::string::npos) << child.Out();
    EXPECT_EQ(Count(child.Out(), "Sent 100%"), 1u);
    EXPECT_EQ(Transcript::Read(dir / "transfer.log").Image(), StandInImage());
}

TEST_F(PenflashCliTest, LostOutputAndOtherSignalsNeverCutTheTransfer) {
    // A reader that goes away after three lines (SIGPIPE, then EPIPE).
    const std::string log = PathOf("pipe.log");
    const std::string rc = PathOf("pipe.rc");
    const RunResult piped = RunProgram(
        "/bin/sh", {"-c", "{ '" + Program() + "' update --emulate normal --yes --transcript '" +
                              log + "'; echo $? > '" + rc + "'; } | head -n 3"});
    EXPECT_EQ(piped.exitCode, 0) << piped.err;
    EXPECT_EQ(Count(piped.out, "\n"), 3u) << piped.out;
    std::ifstream rcFile(rc);
    int code = -1;
    rcFile >> code;
    EXPECT_EQ(code, 0) << "penflash did not end by itself after its reader left";
    const Transcript pipeLog = Transcript::Read(log);
    EXPECT_EQ(pipeLog.Image(), StandInImage());
    EXPECT_TRUE(pipeLog.Has("closing command"));

    // The terminal closes during the transfer (SIGHUP): held like Ctrl-C.
    {
        ChildProcess child(Program(), {"update", "--emulate", "normal", "--yes", "--transcript",
                                       PathOf("hangup.log")});
        ASSERT_TRUE(child.WaitForOutput("Sent  10%", 10s)) << child.Out();
        child.Signal(SIGHUP);
        // Whole, as above; the check after it is skipped.
        EXPECT_EQ(child.Wait(30s), 8) << child.Out();
        EXPECT_NE(child.Out().find("goes on to its end"), std::string::npos) << child.Out();
        EXPECT_EQ(Transcript::Read(dir / "hangup.log").Image(), StandInImage());
    }

    // Ctrl-C while a pen that never answers is identified: no wait for the
    // reply's time limit, no refused pen.
    ChildProcess silent(Program(), {"update", "--emulate", "silent", "--yes"});
    ASSERT_TRUE(silent.WaitForOutput("Emulated pen", 10s)) << silent.Out();
    std::this_thread::sleep_for(1s);  // into the reply's wait of 3 s
    silent.Interrupt();
    EXPECT_EQ(silent.Wait(30s), 8) << silent.Out();
    EXPECT_NE(silent.Out().find("while the pen was being identified"), std::string::npos)
        << silent.Out();
}
#endif

// Several pens: nothing is written to any of them unless the user says
// which (--pen) or that all of them (--all) are meant.
TEST_F(PenflashCliTest, SeveralPensAreListedAndNoneIsTakenUnasked) {
    const RunResult list = Emulated("list", "normal", {"--emulate-pens", "3", "--json"});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    const Json listed = JsonOf(list);
    ASSERT_EQ(listed["devices"].size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(listed["devices"][i]["location"], "emu-port-" + std::to_string(i + 1));
    }
    EXPECT_NE(list.err.find("at emu-port-2"), std::string::npos) << list.err;

    struct Case {
        const char* command;
        const char* scenario;
        bool offersAll;
    };
    for (const Case& c : {Case{"info", "normal", false}, Case{"update", "normal", true},
                          Case{"update", "update-mode", true}}) {
        const std::string what = std::string(c.command) + " " + c.scenario;
        std::vector<std::string> args = {"--emulate-pens", "2"};
        if (c.offersAll) args.push_back("--yes");
        const RunResult run = Emulated(c.command, c.scenario, args);
        EXPECT_EQ(run.exitCode, 9) << what << "\n" << run.out;
        EXPECT_EQ(Log().Lines("OUT "), 0u) << what << ": a pen was written to";
        for (const char* text : {"emu-port-1", "emu-port-2", "--pen LOCATION"}) {
            EXPECT_NE(run.out.find(text), std::string::npos)
                << what << ": " << text << " missing in\n"
                << run.out;
        }
        EXPECT_EQ(run.out.find("--all") != std::string::npos, c.offersAll) << what << "\n"
                                                                           << run.out;
    }

    const RunResult nowhere = Emulated(
        "update", "normal", {"--emulate-pens", "2", "--pen", "emu-port-7", "--yes", "--json"});
    EXPECT_EQ(nowhere.exitCode, 3) << nowhere.err;
    EXPECT_NE(nowhere.err.find("no pen at location emu-port-7"), std::string::npos) << nowhere.err;
    EXPECT_EQ(Log().Lines("OUT "), 0u);
}

TEST_F(PenflashCliTest, PenTakesTheChosenPenOnlyInEitherMode) {
    std::vector<std::uint8_t> image(3001);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 31 + i / 5);
    WriteBytes(dir / "image.bin", image);

    for (const char* scenario : {"normal", "update-mode"}) {
        const RunResult run = Emulated("update", scenario,
                                       {"--emulate-pens", "3", "--pen", "emu-port-2", "--yes",
                                        "--json", "--image", PathOf("image.bin")});
        ASSERT_EQ(run.exitCode, 0) << scenario << "\n" << run.err;
        EXPECT_EQ(JsonOf(run)["location"], "emu-port-2") << scenario;
        const Transcript log = Log();
        EXPECT_EQ(log.Image(), image) << scenario;
        // Every device opened is the chosen pen, in one mode or the other.
        size_t opened = 0;
        for (const std::string& line : log.lines) {
            if (line.rfind("EVENT opened ", 0) != 0) continue;
            ++opened;
            EXPECT_NE(line.find("@emu-port-2"), std::string::npos) << scenario << ": " << line;
        }
        EXPECT_GT(opened, 0u) << scenario;
    }
}

TEST_F(PenflashCliTest, AllUpdatesEveryPenInAProcessOfItsOwnAfterOneQuestion) {
    std::vector<std::uint8_t> image(5001);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + i / 3);
    WriteBytes(dir / "image.bin", image);

    const RunResult all =
        Emulated("update", "normal",
                 {"--emulate-pens", "3", "--all", "--json", "--image", PathOf("image.bin")}, "y\n");
    ASSERT_EQ(all.exitCode, 0) << all.err;
    EXPECT_EQ(Count(all.err, "pens now? [y/N]"), 1u) << all.err;
    const Json json = JsonOf(all);
    EXPECT_EQ(json["result"], "success");
    ASSERT_EQ(json["pens"].size(), 3u) << json.dump(2);
    for (int i = 0; i < 3; ++i) {
        const std::string location = "emu-port-" + std::to_string(i + 1);
        const Json& pen = json["pens"][i];
        EXPECT_EQ(pen["location"], location);
        EXPECT_EQ(pen["exitCode"], 0) << location;
        EXPECT_EQ(pen["image"]["sha256"], HashOf(image)) << location;
        // Each pen's process emulates its own pen, with a transcript of its own.
        const Transcript log = Transcript::Read(dir / ("transcript.log." + location));
        EXPECT_EQ(log.Image(), image) << location;
        EXPECT_TRUE(log.Has("opened emu://pen" + std::string(i == 0 ? "" : "@" + location)))
            << location;
        EXPECT_FALSE(log.Has("VIOLATION")) << location;
    }

    // A failure is each pen's own, and the exit code is a pen's.
    const RunResult failed =
        Emulated("update", "bad-image-ack", {"--emulate-pens", "2", "--all", "--yes", "--json"});
    EXPECT_EQ(failed.exitCode, 6) << failed.err;
    const Json failures = JsonOf(failed);
    ASSERT_EQ(failures["pens"].size(), 2u);
    EXPECT_EQ(failures["pens"][1]["error"]["call"], "FWUSendFirmware");
    EXPECT_EQ(failures["pens"][1]["exitCode"], 6);
}

TEST_F(PenflashCliTest, FilesThatAreNotWhatTheySeemAreRefused) {
    std::vector<std::uint8_t> image(3001, 0x3C);
    WriteBytes(dir / "image.bin", image);
    const std::string imagePath = PathOf("image.bin");

    // A transcript over the image, by its name or a link, would truncate it.
    std::error_code ec;
    fs::create_hard_link(dir / "image.bin", dir / "link.bin", ec);
    for (const std::string& transcript : {imagePath, PathOf("link.bin")}) {
        if (transcript == PathOf("link.bin") && ec) continue;  // no hard links here
        const RunResult run =
            RunProgram(Program(), {"update", "--emulate", "update-mode", "--yes", "--image",
                                   imagePath, "--transcript", transcript});
        EXPECT_EQ(run.exitCode, 2) << transcript << "\n" << run.out;
        EXPECT_EQ(ReadBytes(imagePath), image) << transcript;
    }

    const RunResult unset = RunProgram(Program(), {"update", "--emulate", "normal", "--image", ""});
    EXPECT_EQ(unset.exitCode, 2) << "an empty --image must not mean the built-in image";

    WriteBytes(dir / "empty.bin", {});
    const RunResult empty = Emulated("update", "normal", {"--yes", "--image", PathOf("empty.bin")});
    EXPECT_EQ(empty.exitCode, 7);
    EXPECT_NE(empty.out.find("the image is empty"), std::string::npos) << empty.out;
    EXPECT_EQ(Log().Lines("OUT "), 0u);

#ifndef _WIN32
    // A FIFO with no writer: refused at once, not waited on.
    ASSERT_EQ(mkfifo(PathOf("fifo").c_str(), 0600), 0);
    ChildProcess fifo(Program(),
                      {"update", "--emulate", "normal", "--yes", "--image", PathOf("fifo")});
    EXPECT_EQ(fifo.Wait(20s), 7) << fifo.Out();
    EXPECT_NE(fifo.Out().find("not a regular file"), std::string::npos) << fifo.Out();

    // Output that cannot be written whole is a failure, not a success.
    const RunResult fullTranscript =
        RunProgram(Program(), {"info", "--emulate", "normal", "--transcript", "/dev/full"});
    EXPECT_EQ(fullTranscript.exitCode, 1) << fullTranscript.out;
    for (const char* redirect : {"> /dev/full", ">&-"}) {
        const RunResult lost = RunProgram(
            "/bin/sh", {"-c", "'" + Program() + "' info --emulate normal --json " + redirect});
        EXPECT_EQ(lost.exitCode, 1) << redirect << "\n" << lost.err;
    }
#endif
}

// The pen is back about 1 s after the switch, so with a limit of 1 s it is
// now and then found just after it: the library's cancel path then sends it
// the closing command, and penflash must say so rather than "not found".
TEST_F(PenflashCliTest, PenFoundJustAfterTheSearchLimitIsToldAsSuch) {
    for (int run = 0; run < 12; ++run) {
        const RunResult r =
            Emulated("update", "normal", {"--yes", "--json", "--search-timeout", "1"});
        if (r.exitCode != 5 || !Log().Has("closing command")) continue;
        EXPECT_NE(JsonOf(r)["error"]["message"].get<std::string>().find("only after the limit"),
                  std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find("longer --search-timeout"), std::string::npos) << r.err;
        return;
    }
    GTEST_SKIP() << "the pen was never found just after the limit in 12 runs";
}

TEST_F(PenflashCliTest, DoctorTellsWhatStandsInTheWayAndUsageErrorsAreJsonToo) {
    const RunResult ready = Emulated("doctor", "normal", {"--json"});
    EXPECT_EQ(ready.exitCode, 0) << ready.err;
    const Json checks = JsonOf(ready)["checks"];
    ASSERT_TRUE(checks.is_array());
    EXPECT_NE(ready.err.find("pen at emu-port-1 is in normal mode"), std::string::npos)
        << ready.err;

    // A pen left in firmware-update mode can still be updated, and the user
    // learns how to get it out.
    const RunResult left = Emulated("doctor", "update-mode");
    EXPECT_EQ(left.exitCode, 0) << left.out;
    EXPECT_NE(left.out.find("firmware-update mode"), std::string::npos) << left.out;
    EXPECT_NE(left.out.find("fix: run `penflash update`"), std::string::npos) << left.out;
    EXPECT_EQ(Log().Lines("OUT "), 0u) << "doctor wrote to the pen";
    EXPECT_EQ(Emulated("doctor", "absent").exitCode, 3);

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"update", "--json", "--no-such-option"},
          std::vector<std::string>{"--json", "doctor", "--search-timeout", "5"}}) {
        const RunResult wrong = RunProgram(Program(), args);
        EXPECT_EQ(wrong.exitCode, 2);
        const Json json = JsonOf(wrong);
        EXPECT_EQ(json["result"], "usage") << wrong.out;
        EXPECT_FALSE(json["error"]["message"].get<std::string>().empty());
        EXPECT_FALSE(wrong.err.empty());
    }
}

#ifndef _WIN32
TEST_F(PenflashCliTest, HostileInputsEndAndCtrlCAfterTheLastBlockIsReported) {
    // The confirmation read from /dev/zero: NULs are no answer, and no end.
    const RunResult zeros = RunProgram(
        "/bin/sh", {"-c", "exec '" + Program() + "' update --emulate normal < /dev/zero"});
    EXPECT_EQ(zeros.exitCode, 8) << zeros.out;

    // A transcript FIFO that nobody reads: refused, not waited on.
    ASSERT_EQ(mkfifo(PathOf("fifo").c_str(), 0600), 0);
    ChildProcess fifo(Program(), {"info", "--emulate", "normal", "--transcript", PathOf("fifo")});
    EXPECT_EQ(fifo.Wait(20s), 1) << fifo.Out();
    EXPECT_NE(fifo.Out().find("no program reads"), std::string::npos) << fifo.Out();

    // Ctrl-C while the pen writes its flash: the update ends, and says so.
    ChildProcess child(Program(), {"update", "--emulate", "slow-image-ack", "--yes", "--json",
                                   "--transcript", PathOf("ack.log")});
    for (int i = 0;
         i < 200 && child.Err().find("waiting for the pen to confirm") == std::string::npos; ++i) {
        std::this_thread::sleep_for(50ms);
    }
    ASSERT_NE(child.Err().find("waiting for the pen to confirm"), std::string::npos) << child.Err();
    child.Interrupt();
    // The image went through; the check after it is what the Ctrl-C skips.
    EXPECT_EQ(child.Wait(30s), 8) << child.Err();
    EXPECT_EQ(Transcript::Read(dir / "ack.log").Image(), StandInImage());
    EXPECT_NE(child.Err().find("Ctrl-C came while the pen was confirming the image"),
              std::string::npos)
        << child.Err();
    EXPECT_EQ(Json::parse(child.Out(), nullptr, false)["interruptHeld"], true) << child.Out();
}
#endif

#ifndef _WIN32
// Ctrl-S on penflash's terminal (a pseudo-terminal here): the pen must get
// the whole image while the output is stopped, and the output follows once
// Ctrl-Q lets it go.
TEST_F(PenflashCliTest, StoppedTerminalDoesNotHoldUpTheTransfer) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string slave = ptsname(master);
    const std::string log = PathOf("xoff.log");
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        setsid();
        const int tty = open(slave.c_str(), O_RDWR);
        termios mode{};
        tcgetattr(tty, &mode);
        mode.c_iflag |= IXON;
        tcsetattr(tty, TCSANOW, &mode);
        dup2(tty, 0);
        dup2(tty, 1);
        dup2(tty, 2);
        execl(Program().c_str(), Program().c_str(), "update", "--emulate", "normal", "--yes",
              "--transcript", log.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    std::string shown;
    const auto readSome = [&](int ms) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, ms) <= 0) return false;
        char buffer[4096];
        const ssize_t got = read(master, buffer, sizeof buffer);
        if (got <= 0) return false;
        shown.append(buffer, static_cast<size_t>(got));
        return true;
    };
    for (int i = 0; i < 400 && shown.find("Sending") == std::string::npos; ++i) readSome(50);
    ASSERT_NE(shown.find("Sending"), std::string::npos) << shown;
    ASSERT_EQ(write(master, "\x13", 1), 1);  // Ctrl-S
    bool complete = false;
    for (int i = 0; i < 400 && !complete; ++i) {
        std::this_thread::sleep_for(50ms);
        complete = Transcript::Read(log).Has("image complete");
    }
    ASSERT_EQ(write(master, "\x11", 1), 1);  // Ctrl-Q
    while (readSome(2000)) {
    }
    int status = 0;
    waitpid(pid, &status, 0);
    close(master);
    EXPECT_TRUE(complete) << "the transfer stopped with the terminal's output";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << shown;
    EXPECT_NE(shown.find("Update complete"), std::string::npos) << shown;
}
#endif
