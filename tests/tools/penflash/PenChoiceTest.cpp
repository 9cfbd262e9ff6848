// Which pen info and update work on when several are connected.
#include <gtest/gtest.h>

#include "PenChoice.h"

using namespace penflash;

namespace {

DeviceEntry Interface(const std::string& mode, const std::string& path, const std::string& location,
                      bool held = false) {
    DeviceEntry e;
    e.mode = mode;
    e.path = path;
    e.location = location;
    e.held = held;
    return e;
}

}  // namespace

TEST(PenChoiceTest, InterfacesAtOneLocationAreOnePenAndThoseWithoutOneArePensOfTheirOwn) {
    const std::vector<Pen> pens = GroupPens({
        Interface("normal", "/dev/hidraw1", "usb-1"),
        Interface("update", "/dev/hidraw2", "usb-2"),
        Interface("normal", "/dev/hidraw3", "usb-1", true),  // held: the whole pen is
        Interface("normal", "\\\\?\\hid#a", ""),
        Interface("normal", "\\\\?\\hid#b", ""),
    });
    ASSERT_EQ(pens.size(), 4u);
    EXPECT_EQ(pens[0].location, "usb-1");
    EXPECT_EQ(pens[0].path, "/dev/hidraw1");
    EXPECT_TRUE(pens[0].held);
    EXPECT_EQ(pens[1].mode, "update");
    EXPECT_FALSE(pens[1].held);
    EXPECT_EQ(pens[3].path, "\\\\?\\hid#b");
}

TEST(PenChoiceTest, OnlyAnUnheldPenThatIsAloneOrNamedIsChosen) {
    const Pen normal{"usb-1", "normal", "/dev/hidraw1", false};
    const Pen update{"usb-2", "update", "/dev/hidraw2", false};
    const Pen unknown{"", "normal", "/dev/hidraw3", false};

    // No pen, or one: as before pens had locations.
    EXPECT_EQ(ChoosePen({}, "", true).exit, ExitCode::Success);
    EXPECT_EQ(ChoosePen({}, "", true).location, "");
    EXPECT_EQ(ChoosePen({normal}, "", true).location, "usb-1");
    EXPECT_EQ(ChoosePen({unknown}, "", true).exit, ExitCode::Success);

    // Several: none is taken, and the user learns where they are and how to
    // choose; --all is offered only where the command has it.
    const PenChoice several = ChoosePen({normal, update, unknown}, "", true);
    EXPECT_EQ(several.exit, ExitCode::SeveralPens);
    EXPECT_EQ(several.location, "");
    for (const char* text :
         {"3 pens", "usb-1  normal mode", "usb-2  firmware-update mode",
          "location unknown (/dev/hidraw3)", "--pen LOCATION", "--all", "only pen plugged in"}) {
        EXPECT_NE((several.message + several.details).find(text), std::string::npos)
            << text << " missing in\n"
            << several.message << "\n"
            << several.details;
    }
    EXPECT_EQ(ChoosePen({normal, update}, "", false).details.find("--all"), std::string::npos);

    // --pen: the pen there, in either mode, or none.
    EXPECT_EQ(ChoosePen({normal, update}, "usb-2", true).location, "usb-2");
    const PenChoice missing = ChoosePen({normal, update}, "usb-9", true);
    EXPECT_EQ(missing.exit, ExitCode::NoPen);
    EXPECT_EQ(missing.location, "");
    EXPECT_NE(missing.details.find("usb-2"), std::string::npos) << missing.details;

    // Held by another updater, also when it is in firmware-update mode under
    // that updater: not taken, whether named or alone.
    const Pen heldUpdate{"usb-2", "update", "/dev/hidraw2", true};
    for (const PenChoice& held :
         {ChoosePen({normal, heldUpdate}, "usb-2", true), ChoosePen({heldUpdate}, "", true)}) {
        EXPECT_EQ(held.exit, ExitCode::PenHeld);
        EXPECT_EQ(held.location, "");
        EXPECT_NE(held.message.find("another updater is updating this pen"), std::string::npos);
        EXPECT_NE(held.message.find("in firmware-update mode"), std::string::npos);
    }
}
