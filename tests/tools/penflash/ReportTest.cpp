// The JSON report.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "RunReport.h"

using namespace penflash;
using Json = nlohmann::json;

TEST(ReportTest, FailedUpdateCarriesItsErrorAndPhasesInMilliseconds) {
    RunReport report("update");
    report.SetEmulated("bad-image-ack");
    report.SetIdentity(0x21, 0x5A);
    report.SetVersion("current", "2.05");
    report.SetVersion("new", "2.47");
    report.SetVersion("current", "2.06");  // a second value replaces the first
    report.SetImage("built-in", false, 53256, std::string(64, 'a'));
    report.AddPhase("search", 1.0046);
    report.AddPhase("transfer", 0.9514);
    report.SetExit(ExitCode::TransferFailed);
    report.SetError(
        {"the pen did not acknowledge as expected", "FWUSendFirmware", 6, "ORVANE_ERROR_BAD_ACK"});

    const Json json = Json::parse(report.ToJson());
    EXPECT_EQ(json["command"], "update");
    EXPECT_EQ(json["result"], "transfer-failed");
    EXPECT_EQ(json["exitCode"], 6);
    EXPECT_EQ(json["emulated"], "bad-image-ack");
    EXPECT_EQ(json["device"]["productCode"], 0x21);
    EXPECT_EQ(json["versions"], (Json{{"current", "2.06"}, {"new", "2.47"}}));
    EXPECT_EQ(json["image"]["length"], 53256);
    EXPECT_EQ(json["durationsMs"], (Json{{"search", 1005}, {"transfer", 951}}));
    EXPECT_EQ(json["error"]["call"], "FWUSendFirmware");
    EXPECT_EQ(json["error"]["code"], 6);
    EXPECT_EQ(json["error"]["name"], "ORVANE_ERROR_BAD_ACK");
    EXPECT_FALSE(json.contains("devices"));
}

TEST(ReportTest, SuccessHasNullErrorAndAnEmptyListIsStillAList) {
    RunReport list("list");
    const Json json = Json::parse(list.ToJson());
    EXPECT_EQ(json["result"], "success");
    EXPECT_TRUE(json["error"].is_null());
    EXPECT_EQ(json["devices"], Json::array());

    // A path that is not UTF-8 (possible on Linux) must not break the report.
    // A location the system does not tell is null, not a location "".
    list.AddDevice({0x1209, 0x0002, "update", 65, 65, "/dev/hid\xff", "", false});
    const Json withDevice = Json::parse(list.ToJson());
    EXPECT_EQ(withDevice["devices"][0]["productId"], "0x0002");
    EXPECT_TRUE(withDevice["devices"][0]["location"].is_null());
    EXPECT_EQ(withDevice["devices"].size(), 1u);
}
