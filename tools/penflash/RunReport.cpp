#include "RunReport.h"

#include <cmath>

#include <nlohmann/json.hpp>

#include "TextFormat.h"

namespace penflash {

using Json = nlohmann::ordered_json;

void RunReport::SetVersion(const std::string& name, const std::string& version) {
    for (auto& entry : m_versions) {
        if (entry.first == name) {
            entry.second = version;
            return;
        }
    }
    m_versions.emplace_back(name, version);
}

void RunReport::SetImage(const std::string& source, bool compressed, std::uint64_t length,
                         std::string sha256) {
    m_hasImage = true;
    m_imageSource = source;
    m_imageCompressed = compressed;
    m_imageLength = length;
    m_imageSha256 = std::move(sha256);
}

void RunReport::AddPhase(const std::string& name, double seconds) {
    m_phases.emplace_back(name, seconds);
}

void RunReport::AddDevice(DeviceEntry entry) {
    m_listed = true;
    m_devices.push_back(std::move(entry));
}

void RunReport::AddPen(PenOutcome pen) {
    m_hasPens = true;
    m_pens.push_back(std::move(pen));
}

namespace {

Json PenJson(const PenOutcome& pen) {
    const ExitCode exit = ExitCodeOf(pen.exitCode);
    Json entry = Json::object();
    entry["location"] = pen.location;
    const Json own = Json::parse(pen.report, nullptr, false);
    if (!own.is_object()) {
        entry["result"] = ExitCodeName(exit);
        entry["exitCode"] = pen.exitCode;
        entry["error"] = {{"message", !pen.failure.empty()
                                          ? pen.failure
                                          : "the pen's process printed no report"}};
        return entry;
    }
    for (const auto& [key, value] : own.items()) {
        if (key != "location") entry[key] = value;
    }
    // The process's own end is what counts (its report may have been
    // written before a later failure).
    entry["result"] = ExitCodeName(exit);
    entry["exitCode"] = pen.exitCode;
    if (!pen.failure.empty()) entry["error"] = {{"message", pen.failure}};
    return entry;
}

}  // namespace

std::string RunReport::ToJson() const {
    Json json;
    json["command"] = m_command;
    json["result"] = ExitCodeName(m_exit);
    json["exitCode"] = static_cast<int>(m_exit);
    if (!m_scenario.empty()) json["emulated"] = m_scenario;
    if (!m_location.empty()) json["location"] = m_location;
    if (m_productCode) {
        json["device"] = {{"productCode", *m_productCode},
                          {"productCodeHex", FormatHexByte(*m_productCode)},
                          {"extraInfo", m_extraInfo}};
    }
    if (!m_versions.empty()) {
        Json versions = Json::object();
        for (const auto& [name, version] : m_versions) versions[name] = version;
        json["versions"] = versions;
    }
    if (m_hasImage) {
        json["image"] = {{"source", m_imageSource},
                         {"compressed", m_imageCompressed},
                         {"length", m_imageLength},
                         {"sha256", m_imageSha256}};
    }
    if (m_listed || m_command == "list") {
        Json devices = Json::array();
        for (const DeviceEntry& d : m_devices) {
            devices.push_back({{"vendorId", FormatHexWord(d.vendorId)},
                               {"productId", FormatHexWord(d.productId)},
                               {"mode", d.mode},
                               {"inputReportLength", d.inputLength},
                               {"outputReportLength", d.outputLength},
                               {"path", d.path},
                               {"location", d.location.empty() ? Json(nullptr) : Json(d.location)},
                               {"held", d.held}});
        }
        json["devices"] = devices;
    }
    if (m_hasPens) {
        Json pens = Json::array();
        for (const PenOutcome& pen : m_pens) pens.push_back(PenJson(pen));
        json["pens"] = pens;
    }
    if (m_verification) {
        const auto orNull = [](const std::string& v) {
            return v.empty() ? Json(nullptr) : Json(v);
        };
        json["verification"] = {{"outcome", m_verification->outcome},
                                {"version", orNull(m_verification->version)},
                                {"expected", orNull(m_verification->expected)},
                                {"previous", orNull(m_verification->previous)},
                                {"seconds", std::round(m_verification->seconds * 10.0) / 10.0}};
    }
    if (!m_phases.empty()) {
        Json phases = Json::object();
        for (const auto& [name, seconds] : m_phases) {
            phases[name] = static_cast<long long>(std::llround(seconds * 1000.0));
        }
        json["durationsMs"] = phases;
    }
    if (m_interruptHeld) json["interruptHeld"] = true;
    if (m_error) {
        Json error = {{"message", m_error->message}};
        if (!m_error->call.empty()) error["call"] = m_error->call;
        if (m_error->code) error["code"] = *m_error->code;
        if (!m_error->codeName.empty()) error["name"] = m_error->codeName;
        json["error"] = error;
    } else {
        json["error"] = nullptr;
    }
    // Paths and messages may hold bytes that are not UTF-8 (a file name on
    // Linux); they are replaced rather than fail the report.
    return json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace penflash
