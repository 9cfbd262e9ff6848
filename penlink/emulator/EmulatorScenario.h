// Named set-ups of the emulated bus, shared by the emulated build of the
// library, the tests and the demo.
#ifndef PENLINK_EMULATOR_EMULATORSCENARIO_H
#define PENLINK_EMULATOR_EMULATORSCENARIO_H

#include <memory>
#include <string>
#include <vector>

#include "EmulatedBus.h"
#include "EmulatedPen.h"

namespace penlink::emulator {

// A pen with the configured IDs, firmware 2.05, 65-byte reports, back in
// firmware-update mode one second after the switch.
PenSetup DefaultPenSetup();

// The scenario names, in the order the README lists them.
const std::vector<std::string>& ScenarioNames();

// Fills bus with the devices of scenario name: a mouse and a keyboard that
// are not the pen, then the pen (none in "absent"). Returns the pen (null in
// "absent"), or null with error set when the name is unknown.
std::shared_ptr<EmulatedPen> ConfigureScenario(EmulatedBus& bus, const std::string& name,
                                               std::string& error);

// Puts the pen of scenario name (one of ScenarioNames()) on bus at location,
// after the devices already there. Returns it; null for "absent" or an
// unknown name, which put nothing.
std::shared_ptr<EmulatedPen> AddScenarioPen(EmulatedBus& bus, const std::string& name,
                                            const std::string& location);

}  // namespace penlink::emulator

#endif  // PENLINK_EMULATOR_EMULATORSCENARIO_H
