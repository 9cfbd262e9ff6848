// What penflash's arguments ask for, and what it refuses as a usage error.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CommandLine.h"

using namespace penflash;

namespace {

Options Parse(std::vector<std::string> args) {
    args.insert(args.begin(), "penflash");
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    return CommandLine::Parse(static_cast<int>(argv.size()), argv.data());
}

}  // namespace

TEST(CommandLineTest, EachCommandWithItsOptions) {
    const Options update =
        Parse({"update", "--image", "fw.bin", "-y", "--json", "--emulate", "bad-image-ack",
               "--transcript", "t.log", "--search-timeout", "5"});
    EXPECT_EQ(update.action, Action::Update);
    EXPECT_EQ(update.imagePath, "fw.bin");
    EXPECT_TRUE(update.yes);
    EXPECT_TRUE(update.json);
    EXPECT_EQ(update.emulate, "bad-image-ack");
    EXPECT_EQ(update.transcript, "t.log");
    EXPECT_EQ(update.searchTimeoutSeconds, 5u);

    const Options plain = Parse({"update"});
    EXPECT_EQ(plain.action, Action::Update);
    EXPECT_TRUE(plain.imagePath.empty());
    EXPECT_FALSE(plain.yes);
    EXPECT_TRUE(plain.emulate.empty());
    EXPECT_EQ(plain.searchTimeoutSeconds, 60u);

    const Options list = Parse({"list", "--emulate", "absent", "--json"});
    EXPECT_EQ(list.action, Action::List);
    EXPECT_EQ(list.emulate, "absent");
    EXPECT_TRUE(list.json);
    EXPECT_EQ(Parse({"info", "--emulate", "normal"}).action, Action::Info);

    const Options chosen = Parse(
        {"info", "--pen", "usb-0000:00:14.0-2", "--emulate", "normal", "--emulate-pens", "3"});
    EXPECT_EQ(chosen.pen, "usb-0000:00:14.0-2");
    EXPECT_EQ(chosen.emulatePens, 3u);
    EXPECT_FALSE(chosen.emulateChosenOnly);
    EXPECT_EQ(plain.emulatePens, 1u);
    EXPECT_FALSE(plain.all);
    EXPECT_TRUE(Parse({"update", "--all", "--yes"}).all);
}

TEST(CommandLineTest, MistakesAreUsageErrorsWithAMessage) {
    const std::vector<std::vector<std::string>> mistakes = {
        {},
        {"flash"},
        {"update", "--emulate", "no-such-scenario"},
        {"update", "--emulate"},
        {"update", "--transcript", "t.log"},  // without --emulate
        {"update", "--search-timeout", "0"},
        {"update", "--search-timeout", "soon"},
        {"list", "--image", "fw.bin"},  // an option of update only
        {"info", "extra"},
        {"info", "--pen", ""},  // an unset shell variable, not "any pen"
        {"list", "--pen", "usb-1"},
        {"info", "--all"},
        {"update", "--all", "--pen", "usb-1"},
        {"update", "--emulate-pens", "3"},  // without --emulate
        {"update", "--emulate", "normal", "--emulate-pens", "0"},
        {"update", "--emulate", "normal", "--emulate-chosen-only"},  // without --pen
    };
    for (const auto& args : mistakes) {
        const Options o = Parse(args);
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        EXPECT_EQ(o.action, Action::Exit) << joined;
        EXPECT_EQ(o.exitCode, ExitCode::Usage) << joined;
        EXPECT_FALSE(o.err.empty()) << joined;
        EXPECT_TRUE(o.out.empty()) << joined;
    }
}
