#include "EmulatorScenario.h"

#include <algorithm>

#include "core/PenlinkConfig.h"

namespace penlink::emulator {

PenSetup DefaultPenSetup() {
    PenSetup setup;
    setup.vendorId = config::kVendorIds[0];
    setup.normalProductId = config::kNormalModeProductIds[0];
    setup.updateProductId = config::kUpdateModeProductIds[0];
    return setup;
}

const std::vector<std::string>& ScenarioNames() {
    static const std::vector<std::string> names = {"normal",
                                                   "absent",
                                                   "update-mode",
                                                   "never-returns",
                                                   "refused",
                                                   "silent",
                                                   "bad-start-ack",
                                                   "bad-image-ack",
                                                   "slow-image-ack",
                                                   "unplug-during-transfer",
                                                   "held-open",
                                                   "returns-old-version",
                                                   "stays-in-update-mode"};
    return names;
}

std::shared_ptr<EmulatedPen> ConfigureScenario(EmulatedBus& bus, const std::string& name,
                                               std::string& error) {
    bool known = false;
    for (const auto& n : ScenarioNames()) known = known || n == name;
    if (!known) {
        error = "unknown emulator scenario \"" + name + "\"";
        return nullptr;
    }
    // Two devices that are not the pen, as on most machines.
    bus.Add(std::make_shared<EmulatedDevice>("mouse", 0x046D, 0xC077, 5, 0));
    bus.Add(std::make_shared<EmulatedDevice>("keyboard", 0x413C, 0x2113, 9, 2));
    return AddScenarioPen(bus, name, kDefaultPenLocation);
}

std::shared_ptr<EmulatedPen> AddScenarioPen(EmulatedBus& bus, const std::string& name,
                                            const std::string& location) {
    const auto& names = ScenarioNames();
    if (name == "absent" || std::find(names.begin(), names.end(), name) == names.end()) {
        return nullptr;
    }
    PenSetup setup = DefaultPenSetup();
    setup.location = location;
    setup.paced = true;
    PenFaults faults;
    if (name == "update-mode") setup.startInUpdateMode = true;
    if (name == "never-returns") faults.neverReappears = true;
    if (name == "refused") setup.productCode = 0x7F;
    if (name == "silent") faults.noIdentityReply = true;
    if (name == "bad-start-ack") faults.badStartAck = true;
    if (name == "bad-image-ack") faults.badImageAck = true;
    if (name == "slow-image-ack") faults.imageAckDelay = std::chrono::seconds(4);
    if (name == "unplug-during-transfer") faults.unplugAfterBlocks = 100;
    // After the update: the pen restarts into the firmware it had, or into
    // its loader again.
    if (name == "returns-old-version") {
        std::copy(std::begin(setup.firmware), std::end(setup.firmware),
                  std::begin(setup.returnVersion));
    }
    if (name == "stays-in-update-mode") setup.returnsInUpdateMode = true;
    auto pen = std::make_shared<EmulatedPen>(setup, faults);
    if (name == "held-open") pen->faults.heldExclusively = true;
    bus.Add(pen);
    return pen;
}

}  // namespace penlink::emulator
