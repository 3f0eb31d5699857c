// Shared by the accessibility tests: a fresh fake desktop per test, and a
// check that every platform reference handed out was given back.
#pragma once

#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fake.h"

namespace axtest {

class AxTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake::reset();
        baseline_ = fake::outstandingRefs();
    }
    void TearDown() override { EXPECT_EQ(fake::outstandingRefs(), baseline_) << "platform references leaked"; }

    fake::AxState& ax() { return fake::desktop().ax; }
    const std::vector<std::string>& log() { return fake::desktop().log; }
    void clearLog() { fake::desktop().log.clear(); }
    long live() const { return fake::outstandingRefs() - baseline_; }
    // Log lines that start with a prefix, in order.
    std::vector<std::string> lines(const std::string& start) {
        std::vector<std::string> out;
        for (const auto& l : log())
            if (l.rfind(start, 0) == 0) out.push_back(l);
        return out;
    }
    static std::string id(int n) { return std::to_string(n); }

private:
    long baseline_ = 0;
};

}  // namespace axtest
