#include "mcp/tools.h"

#include <string>

#include <gtest/gtest.h>

#include "dispatch/handle.h"

namespace {

using nlohmann::json;

// A tool written for its operation has a title and an output schema; an
// operation added without one would still be listed, with neither.
TEST(McpTools, EveryOperationHasAToolWrittenForIt) {
    const json& tools = mcp::tools();
    auto names = dispatch::operationNames();
    ASSERT_EQ(tools.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        const json& tool = tools[i];
        EXPECT_EQ(tool["name"], std::string(names[i]));
        EXPECT_TRUE(tool.contains("title")) << names[i];
        EXPECT_TRUE(tool.contains("outputSchema")) << names[i];
        for (const char* schema : {"inputSchema", "outputSchema"})
            for (const json& key : tool[schema].value("required", json::array()))
                EXPECT_TRUE(tool[schema]["properties"].contains(key)) << names[i] << " " << schema << " " << key;
    }
}

TEST(McpTools, NamesMatchExactly) {
    EXPECT_TRUE(mcp::isTool("ax_press"));
    EXPECT_TRUE(mcp::isTool("screenshot"));
    EXPECT_FALSE(mcp::isTool("Ax_press"));
    EXPECT_FALSE(mcp::isTool("ax_press "));
    EXPECT_FALSE(mcp::isTool("ax_pres"));
    EXPECT_FALSE(mcp::isTool(""));
}

}  // namespace
