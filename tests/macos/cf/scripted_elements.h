// The fixture of the accessibility tests on the fake CoreFoundation: the
// elements a test makes (released with it), attribute values it scripts,
// and the check that nothing leaked.
#pragma once

#include <ApplicationServices/ApplicationServices.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "fake_cf.h"
#include "platform/macos/cf.h"

class ScriptedElements : public ::testing::Test {
protected:
    void SetUp() override { baseline_ = fakecf::live(); }
    void TearDown() override {
        owned_.clear();
        fakecf::resetAccessibility();
        EXPECT_EQ(fakecf::live(), baseline_) << "CF objects leaked";
    }

    // A new element of `pid`, released with the test's owners.
    AXUIElementRef element(pid_t pid) {
        owned_.emplace_back(fakecf::element(pid));
        return owned_.back().get();
    }
    static CFArrayRef array(std::initializer_list<CFTypeRef> borrowed) {
        std::vector<const void*> items(borrowed.begin(), borrowed.end());
        return CFArrayCreate(kCFAllocatorDefault, items.data(), static_cast<CFIndex>(items.size()),
                             &kCFTypeArrayCallBacks);
    }
    // Scripts an attribute whose value is a new array of the given elements.
    static void setList(AXUIElementRef on, const char* name, std::initializer_list<CFTypeRef> elements) {
        platform::mac::CFOwner<CFArrayRef> list(array(elements));
        fakecf::setAttribute(on, name, list.get());
    }
    static void setText(AXUIElementRef on, const char* name, const char* text) {
        platform::mac::CFOwner<CFStringRef> value = platform::mac::makeString(text);
        fakecf::setAttribute(on, name, value.get());
    }

private:
    long baseline_ = 0;
    std::vector<platform::mac::CFOwner<AXUIElementRef>> owned_;
};
