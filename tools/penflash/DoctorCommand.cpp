#include "DoctorCommand.h"

#include <cstdio>

#include <nlohmann/json.hpp>

#include "DeviceCommands.h"
#include "Doctor.h"
#include "DoctorProbe.h"

namespace penflash {

int RunDoctor(Terminal& terminal, bool json, const std::string& emulated) {
    DoctorFacts facts;
    facts.emulated = !emulated.empty();
    facts.listed = ListPenInterfaces(facts.entries);
    ProbeSystem(facts);
    const Diagnosis diagnosis = Diagnose(facts);

    nlohmann::json checks = nlohmann::json::array();
    for (const DoctorCheck& check : diagnosis.checks) {
        const char* head = check.status == "ok"        ? "ok       "
                           : check.status == "warning" ? "warning  "
                                                       : "PROBLEM  ";
        terminal.Line(head + check.message);
        if (!check.fix.empty()) terminal.Line("         fix: " + check.fix);
        checks.push_back(
            {{"name", check.name},
             {"status", check.status},
             {"message", check.message},
             {"fix", check.fix.empty() ? nlohmann::json() : nlohmann::json(check.fix)}});
    }
    terminal.Line(diagnosis.exit == ExitCode::Success ? "A pen can be updated now: penflash update."
                                                      : std::string("No pen can be updated now (") +
                                                            ExitCodeName(diagnosis.exit) + ").");
    int code = static_cast<int>(diagnosis.exit);
    if (json) {
        nlohmann::json report = {{"command", "doctor"},
                                 {"result", ExitCodeName(diagnosis.exit)},
                                 {"exitCode", code},
                                 {"checks", checks}};
        if (!emulated.empty()) report["emulated"] = emulated;
        const std::string text = report.dump(2) + "\n";
        if (std::fputs(text.c_str(), stdout) < 0 || std::fflush(stdout) != 0) {
            std::fputs("penflash: the JSON report cannot be written to stdout\n", stderr);
            code = static_cast<int>(ExitCode::Failure);
        }
    }
    return code;
}

}  // namespace penflash
