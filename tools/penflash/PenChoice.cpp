#include "PenChoice.h"

namespace penflash {

namespace {

std::string PenList(const std::vector<Pen>& pens) {
    std::string list;
    for (const Pen& pen : pens) list += "\n" + PenLine(pen);
    return list;
}

PenChoice HeldOrChosen(const Pen& pen) {
    PenChoice choice;
    if (pen.held) {
        choice.exit = ExitCode::PenHeld;
        std::string where = pen.location.empty() ? "" : "at " + pen.location;
        if (pen.mode == "update") {
            where += std::string(where.empty() ? "" : ", ") + "in firmware-update mode";
        }
        choice.message = "another updater is updating this pen" +
                         (where.empty() ? std::string() : " (" + where + ")") +
                         "; nothing was sent to it";
        choice.details = "Let that update end, then run penflash again.";
        return choice;
    }
    choice.location = pen.location;
    return choice;
}

}  // namespace

std::vector<Pen> GroupPens(const std::vector<DeviceEntry>& entries) {
    std::vector<Pen> pens;
    for (const DeviceEntry& e : entries) {
        Pen* same = nullptr;
        if (!e.location.empty()) {
            for (Pen& pen : pens) {
                if (pen.location == e.location) same = &pen;
            }
        }
        if (same == nullptr) {
            pens.push_back({e.location, e.mode, e.path, e.held});
        } else {
            same->held = same->held || e.held;
        }
    }
    return pens;
}

std::string PenLine(const Pen& pen) {
    std::string line =
        "  " + (pen.location.empty() ? "location unknown (" + pen.path + ")" : pen.location);
    line += pen.mode == "update" ? "  firmware-update mode" : "  normal mode";
    if (pen.held) line += "  (another updater is updating it)";
    return line;
}

PenChoice ChoosePen(const std::vector<Pen>& pens, const std::string& wanted, bool offerAll) {
    if (!wanted.empty()) {
        for (const Pen& pen : pens) {
            if (pen.location == wanted) return HeldOrChosen(pen);
        }
        PenChoice none;
        none.exit = ExitCode::NoPen;
        none.message = "no pen at location " + wanted;
        none.details = pens.empty() ? "No pen is connected." : "The pens:" + PenList(pens);
        return none;
    }
    if (pens.empty()) return {};
    if (pens.size() == 1) return HeldOrChosen(pens.front());

    PenChoice several;
    several.exit = ExitCode::SeveralPens;
    several.message = std::to_string(pens.size()) +
                      " pens are connected and none was chosen; nothing was sent to any of them";
    several.details = "The pens:" + PenList(pens) + "\nChoose one with --pen LOCATION" +
                      (offerAll ? ", or update every one of them with --all." : ".");
    std::size_t unknown = 0;
    for (const Pen& pen : pens) unknown += pen.location.empty();
    if (unknown > 0) {
        several.details += "\nThe system tells the location of " +
                           std::string(unknown == pens.size() ? "none" : "not every one") +
                           " of them; a pen without one can be updated only while it is the "
                           "only pen plugged in.";
    }
    return several;
}

}  // namespace penflash
