// Method calls built from a signature, and replies read back, without a bus:
// a built message is read with the same cursor that reads replies.
#include <gtest/gtest.h>

#include <atspi/atspi-constants.h>

#include "platform/x11/atspi/call.h"
#include "platform/x11/atspi/reply.h"

namespace {

using platform::atspi::Call;
using platform::atspi::Ints;
using platform::atspi::Reader;
using platform::atspi::Ref;
using platform::atspi::States;
using platform::atspi::Strings;

const Ref kApp{":1.42", "/org/a11y/atspi/accessible/7"};

// The message a call would send (owned by the caller), or null.
DBusMessage* built(Call&& c) { return c.takeMessage(); }

std::string signatureOf(DBusMessage* m) { return m ? dbus_message_get_signature(m) : "<none>"; }

TEST(AxDbusCall, NoArgumentsGiveAnEmptyBodyAddressedToTheTarget) {
    DBusMessage* m = built(Call{kApp, platform::atspi::kAccessibleIface, "GetChildren"});
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(signatureOf(m), "");
    EXPECT_STREQ(dbus_message_get_destination(m), ":1.42");
    EXPECT_STREQ(dbus_message_get_path(m), "/org/a11y/atspi/accessible/7");
    EXPECT_STREQ(dbus_message_get_interface(m), "org.a11y.atspi.Accessible");
    EXPECT_STREQ(dbus_message_get_member(m), "GetChildren");
    dbus_message_unref(m);
}

TEST(AxDbusCall, StructureFieldsAreGivenFlat) {
    DBusMessage* m = built(Call{kApp, platform::atspi::kCollectionIface, "GetMatches", "(aiia{ss}iaiiasib)uib",
                                Ints{1 << ATSPI_STATE_FOCUSED, 0}, 3, Ints{}, 4, Ints{9, 8, 7, 6}, 5, Ints{}, 6,
                                false, 2u, 1, true});
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(signatureOf(m), "(aiia{ss}iaiiasib)uib");
    Reader top(m);
    Reader rule = top.enter();
    Reader states = rule.enter();
    std::int32_t v = 0;
    ASSERT_TRUE(states.get(v));
    EXPECT_EQ(v, 1 << ATSPI_STATE_FOCUSED);
    ASSERT_TRUE(states.get(v));
    EXPECT_EQ(v, 0);
    EXPECT_FALSE(states.more());
    ASSERT_TRUE(rule.get(v));
    EXPECT_EQ(v, 3);
    EXPECT_FALSE(rule.enter().more());  // the empty a{ss}
    ASSERT_TRUE(rule.get(v));
    EXPECT_EQ(v, 4);
    Reader roles = rule.enter();
    for (int expected : {9, 8, 7, 6}) {
        ASSERT_TRUE(roles.get(v));
        EXPECT_EQ(v, expected);
    }
    std::uint32_t sort = 0;
    ASSERT_TRUE(top.get(sort));
    EXPECT_EQ(sort, 2u);
    ASSERT_TRUE(top.get(v));
    EXPECT_EQ(v, 1);
    bool traverse = false;
    ASSERT_TRUE(top.get(traverse));
    EXPECT_TRUE(traverse);
    EXPECT_FALSE(top.more());
    dbus_message_unref(m);
}

TEST(AxDbusCall, VariantsTakeTheTypeOfTheirValue) {
    for (auto [arg, type] : {std::pair<platform::atspi::Arg, const char*>{true, "b"}, {2.5, "d"}, {7, "i"},
                             {"text", "s"}}) {
        DBusMessage* m = built(Call{kApp, platform::atspi::kPropertiesIface, "Set", "ssv", "iface", "Prop", arg});
        ASSERT_NE(m, nullptr) << type;
        Reader r(m);
        ASSERT_TRUE(r.skip() && r.skip());
        ASSERT_EQ(r.type(), DBUS_TYPE_VARIANT);
        DBusMessageIter it, inner;
        dbus_message_iter_init(m, &it);
        dbus_message_iter_next(&it);
        dbus_message_iter_next(&it);
        dbus_message_iter_recurse(&it, &inner);
        char* sig = dbus_message_iter_get_signature(&inner);
        EXPECT_STREQ(sig, type);
        dbus_free(sig);
        dbus_message_unref(m);
    }
}

TEST(AxDbusCall, ValuesThatDoNotFitTheSignatureBuildNothing) {
    const char* iface = platform::atspi::kComponentIface;
    EXPECT_EQ(built(Call{kApp, iface, "GetAccessibleAtPoint", "iiu", 1, 2}), nullptr);        // too few
    EXPECT_EQ(built(Call{kApp, iface, "GetAccessibleAtPoint", "iiu", 1, 2, 3, 4}), nullptr);  // too many
    EXPECT_EQ(built(Call{kApp, iface, "GetAccessibleAtPoint", "iiu", 1, "two", 3}), nullptr); // wrong type
    EXPECT_EQ(built(Call{kApp, iface, "Odd", "ai", Strings{"a"}}), nullptr);
    EXPECT_EQ(built(Call{kApp, iface, "Odd", "a(ii)", Ints{1, 2}}), nullptr);
}

TEST(AxDbusCall, TargetsThatAreNoDbusNamesBuildNothing) {
    const char* iface = platform::atspi::kAccessibleIface;
    EXPECT_EQ(built(Call{Ref{"", "/a"}, iface, "GetRole"}), nullptr);
    EXPECT_EQ(built(Call{Ref{":1.2", ""}, iface, "GetRole"}), nullptr);
    EXPECT_EQ(built(Call{Ref{"not a name", "/a"}, iface, "GetRole"}), nullptr);
    EXPECT_EQ(built(Call{Ref{":1.2", "no/slash"}, iface, "GetRole"}), nullptr);
    Call moved{kApp, iface, "GetRole"};
    Call other = std::move(moved);
    EXPECT_EQ(moved.takeMessage(), nullptr);
    DBusMessage* m = other.takeMessage();
    EXPECT_NE(m, nullptr);
    if (m) dbus_message_unref(m);
}

TEST(AxDbusReply, ReadsObjectsStatesAndInterfaces) {
    DBusMessage* m = dbus_message_new_method_call(":1.1", "/x", "a.b", "c");
    ASSERT_NE(m, nullptr);
    DBusMessageIter it, s, a;
    dbus_message_iter_init_append(m, &it);
    const char* bus = ":1.9";
    const char* path = "/org/a11y/atspi/accessible/3";
    dbus_message_iter_open_container(&it, DBUS_TYPE_STRUCT, nullptr, &s);
    dbus_message_iter_append_basic(&s, DBUS_TYPE_STRING, &bus);
    dbus_message_iter_append_basic(&s, DBUS_TYPE_OBJECT_PATH, &path);
    dbus_message_iter_close_container(&it, &s);
    dbus_message_iter_open_container(&it, DBUS_TYPE_ARRAY, "u", &a);
    for (dbus_uint32_t w : {1u << ATSPI_STATE_FOCUSED, 1u << (ATSPI_STATE_CHECKABLE - 32), 99u})
        dbus_message_iter_append_basic(&a, DBUS_TYPE_UINT32, &w);
    dbus_message_iter_close_container(&it, &a);
    dbus_message_iter_open_container(&it, DBUS_TYPE_ARRAY, "s", &a);
    for (const char* name : {platform::atspi::kActionIface, "org.freedesktop.DBus.Introspectable",
                             platform::atspi::kTextIface})
        dbus_message_iter_append_basic(&a, DBUS_TYPE_STRING, &name);
    dbus_message_iter_close_container(&it, &a);

    Reader r(m);
    std::string text;
    EXPECT_FALSE(r.get(text));  // a structure stands there: nothing read, nothing skipped
    Ref ref;
    ASSERT_TRUE(r.get(ref));
    EXPECT_EQ(ref.bus, ":1.9");
    EXPECT_EQ(ref.path, "/org/a11y/atspi/accessible/3");
    States states{};
    ASSERT_TRUE(r.get(states));
    EXPECT_TRUE(platform::atspi::hasState(states, ATSPI_STATE_FOCUSED));
    EXPECT_TRUE(platform::atspi::hasState(states, ATSPI_STATE_CHECKABLE));
    EXPECT_FALSE(platform::atspi::hasState(states, ATSPI_STATE_ACTIVE));
    EXPECT_FALSE(platform::atspi::hasState(states, 64));
    std::uint32_t ifaces = 0;
    ASSERT_TRUE(r.getIfaces(ifaces));
    EXPECT_EQ(ifaces, platform::atspi::ifAction | platform::atspi::ifText);
    EXPECT_FALSE(r.more());
    EXPECT_FALSE(r.get(ifaces));
    dbus_message_unref(m);
}

TEST(AxDbusReply, NoMessageReadsNothing) {
    Reader r(nullptr);
    std::int32_t v = 0;
    EXPECT_FALSE(r.more());
    EXPECT_FALSE(r.get(v));
    EXPECT_FALSE(r.enter().more());
    EXPECT_FALSE(r.value().more());
}

}  // namespace
