#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "apps/apps.h"
#include "channel/failure.h"
#include "fake.h"
#include "op_support.h"

namespace {

using ::testing::ElementsAre;
using nlohmann::json;
using support::answer;
using support::error;
using support::logOf;

class Apps : public ::testing::Test {
protected:
    void SetUp() override {
        fake::reset();
        auto& running = fake::desktop().apps.running;
        running.push_back({100, "Finder", "com.example.finder", false, false, 0});
        running.push_back({200, std::nullopt, "com.example.noname", true, true, 0});
        running.push_back({300, "Helper", "com.example.helper", false, false, 1});  // accessory
        running.push_back({400, "Bare", std::nullopt, false, false, 0});            // no identifier
        running.push_back({500, "Agent", "com.example.agent", false, false, 2});    // prohibited
    }
    void TearDown() override { EXPECT_EQ(fake::outstandingRefs(), 0); }
};

TEST_F(Apps, ListKeepsRegularAppsWithIdentifiersInPlatformOrder) {
    EXPECT_EQ(apps::apps(), json::parse(R"({"apps":[
        {"name":"Finder","bundleId":"com.example.finder","pid":100,"active":false,"hidden":false},
        {"name":"","bundleId":"com.example.noname","pid":200,"active":true,"hidden":true}]})"));
    // The identifier of an application that fails the policy test is never read.
    EXPECT_THAT(logOf({"bundle-id 3", "bundle-id 5", "policy 3", "policy 5"}),
                ElementsAre("policy 300", "policy 500"));
}

TEST_F(Apps, AppInfoReadsInOrderAndNeverHoldsNull) {
    platform::App app = platform::runningApplicationWithProcessIdentifier(400);
    fake::desktop().log.clear();
    EXPECT_EQ(apps::appInfo(app),
              json::parse(R"({"name":"Bare","bundleId":"","pid":400,"active":false,"hidden":false})"));
    EXPECT_THAT(fake::desktop().log, ElementsAre("name 400", "bundle-id 400", "pid 400", "active 400", "hidden 400"));
}

TEST_F(Apps, EmptyListIsStillAList) {
    fake::desktop().apps.running.clear();
    EXPECT_EQ(apps::apps(), json::parse(R"({"apps":[]})"));
}

TEST_F(Apps, BundleIdOfPid) {
    EXPECT_EQ(apps::bundleId(100), "com.example.finder");
    EXPECT_EQ(apps::bundleId(400), "");
    EXPECT_EQ(apps::bundleId(999), "");
}

TEST_F(Apps, ActivateChoosesOptionsByVersionAndWaits) {
    for (auto [v, options] : {std::pair{fake::Version{13, 6, 9}, 2}, {fake::Version{14, 0, 0}, 0},
                              {fake::Version{15, 1, 0}, 0}, {fake::Version{11, 0, 0}, 2}}) {
        fake::desktop().log.clear();
        fake::desktop().apps.os = v;
        apps::activate(300);
        EXPECT_THAT(fake::desktop().log,
                    ElementsAre("app-for-pid 300", "os-at-least 14.0.0",
                                "activate 300 options " + std::to_string(options), "pause 120000"));
    }
}

TEST_F(Apps, ActivateOfNoRunningAppFailsAtOnce) {
    EXPECT_EQ(error(R"({"op":"activate","pid":999})"), "That app is not running/not_running");
    EXPECT_THAT(fake::desktop().log, ElementsAre("app-for-pid 999"));
}

TEST_F(Apps, ActivateOperationReadsPid) {
    EXPECT_EQ(answer(R"({"id":1,"op":"activate","pid":100.9})"), json::parse(R"({"id":1,"result":{"ok":true}})"));
    EXPECT_THAT(logOf({"activate", "pause"}), ElementsAre("activate 100 options 0", "pause 120000"));
    for (const char* line : {R"({"op":"activate"})", R"({"op":"activate","pid":"100"})",
                             R"({"op":"activate","pid":null})"})
        EXPECT_EQ(error(line), "Missing app/bad_args") << line;
    EXPECT_EQ(error(R"({"op":"activate","pid":2147483648})"), "Number out of range for \"pid\"/bad_args");
    EXPECT_EQ(error(R"({"op":"activate","pid":true})"), "That app is not running/not_running");  // pid 1
}

TEST_F(Apps, LaunchPassesAnArgumentVectorAndWaitsOnSuccessOnly) {
    apps::launch("com.example.x", true);
    apps::launch("com.example.x", false);
    apps::launch("", true);
    apps::launch("a b; rm -rf ~ $(x)", false);
    using V = std::vector<std::string>;
    EXPECT_THAT(fake::desktop().apps.tasks,
                ElementsAre(V{"/usr/bin/open", "-g", "-b", "com.example.x"}, V{"/usr/bin/open", "-b", "com.example.x"},
                            V{"/usr/bin/open", "-g", "-b", ""}, V{"/usr/bin/open", "-b", "a b; rm -rf ~ $(x)"}));
    EXPECT_EQ(logOf({"pause"}).size(), 4u);
    EXPECT_EQ(fake::desktop().log[1], "pause 600000");
}

TEST_F(Apps, LaunchFailures) {
    fake::desktop().apps.launcher = {true, "", 1};
    EXPECT_EQ(error(R"({"op":"launch","bundleId":"com.nope"})"), "Could not open that app/open_failed");
    fake::desktop().apps.launcher = {true, "", -9};
    EXPECT_EQ(error(R"({"op":"launch","bundleId":"com.nope"})"), "Could not open that app/open_failed");
    fake::desktop().apps.launcher = {false, "The file “open” doesn’t exist.", 0};
    EXPECT_EQ(error(R"({"op":"launch","bundleId":"com.nope"})"), "The file “open” doesn’t exist./helper");
    fake::desktop().apps.launcher = {false, "", 0};
    EXPECT_EQ(error(R"({"op":"launch"})"), "Could not start /usr/bin/open/helper");
    EXPECT_TRUE(logOf({"pause"}).empty());
    EXPECT_EQ(fake::desktop().apps.tasks.size(), 4u);
}

TEST_F(Apps, LaunchRefusesAnIdentifierWithNulWithoutRunningAnything) {
    EXPECT_EQ(error(R"({"op":"launch","bundleId":"com.example.x\u0000evil"})"), "Could not open that app/open_failed");
    EXPECT_TRUE(fake::desktop().log.empty());
}

TEST_F(Apps, LaunchOperationDefaults) {
    using V = std::vector<std::string>;
    for (auto [line, argv] :
         {std::pair{R"({"op":"launch"})", V{"/usr/bin/open", "-g", "-b", ""}},
          {R"({"op":"launch","bundleId":"x","background":false})", V{"/usr/bin/open", "-b", "x"}},
          {R"({"op":"launch","bundleId":"x","background":"false"})", V{"/usr/bin/open", "-g", "-b", "x"}},
          {R"({"op":"launch","bundleId":"x","background":0})", V{"/usr/bin/open", "-g", "-b", "x"}},
          {R"({"op":"launch","bundleId":7})", V{"/usr/bin/open", "-g", "-b", ""}}}) {
        fake::desktop().apps.tasks.clear();
        EXPECT_EQ(support::result(line), json::parse(R"({"ok":true})")) << line;
        EXPECT_THAT(fake::desktop().apps.tasks, ElementsAre(argv)) << line;
    }
}

TEST_F(Apps, AppsAndFrontmostOperations) {
    EXPECT_EQ(support::result(R"({"op":"apps"})")["apps"].size(), 2u);
    EXPECT_EQ(support::result(R"({"op":"frontmost"})"), json::object());
    fake::desktop().apps.frontmost = 300;  // listed or not, the frontmost app is described
    EXPECT_EQ(support::result(R"({"op":"frontmost"})"),
              json::parse(R"({"name":"Helper","bundleId":"com.example.helper","pid":300,"active":false,"hidden":false})"));
}

}  // namespace
