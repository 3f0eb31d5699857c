// The AX names the Linux backend gives AT-SPI roles and actions.
#include <atspi/atspi-constants.h>
#include <gtest/gtest.h>

#include "platform/x11/atspi/bridge.h"
#include "platform/x11/atspi/model.h"
#include "platform/x11/atspi/roles.h"

namespace {

using platform::atspi::actionIndex;
using platform::atspi::axActionNames;
using platform::atspi::axRole;
using platform::atspi::axSubrole;
using Names = std::vector<std::string>;

TEST(AxVocabulary, RolesControllersExpect) {
    EXPECT_STREQ(axRole(ATSPI_ROLE_PUSH_BUTTON, false), "AXButton");
    EXPECT_STREQ(axRole(ATSPI_ROLE_CHECK_BOX, false), "AXCheckBox");
    EXPECT_STREQ(axRole(ATSPI_ROLE_LABEL, false), "AXStaticText");
    EXPECT_STREQ(axRole(ATSPI_ROLE_FRAME, false), "AXWindow");
    EXPECT_STREQ(axRole(ATSPI_ROLE_ENTRY, false), "AXTextField");
    EXPECT_STREQ(axRole(ATSPI_ROLE_INVALID, false), "AXUnknown");
    EXPECT_STREQ(axRole(100000, false), "AXUnknown");
    // GTK's entries and text views share one role; the line count decides.
    EXPECT_STREQ(axRole(ATSPI_ROLE_TEXT, false), "AXTextField");
    EXPECT_STREQ(axRole(ATSPI_ROLE_TEXT, true), "AXTextArea");
}

TEST(AxVocabulary, PasswordTextIsASecureTextField) {
    EXPECT_STREQ(axRole(ATSPI_ROLE_PASSWORD_TEXT, false), "AXTextField");
    EXPECT_STREQ(axSubrole(ATSPI_ROLE_PASSWORD_TEXT), "AXSecureTextField");
    // Nothing else carries the secure marker.
    for (std::uint32_t role = 0; role < ATSPI_ROLE_LAST_DEFINED; ++role) {
        if (role == ATSPI_ROLE_PASSWORD_TEXT) continue;
        const char* sub = axSubrole(role);
        EXPECT_TRUE(sub == nullptr || std::string(sub) != "AXSecureTextField") << role;
        EXPECT_STRNE(axRole(role, false), "AXSecureTextField") << role;
    }
}

TEST(AxVocabulary, ClickIsThePressOfAButtonNotItsHalfPress) {
    Names gtkButton{"click", "press", "release"};
    EXPECT_EQ(axActionNames(gtkButton, ATSPI_ROLE_PUSH_BUTTON), (Names{"AXPress", "press", "release"}));
    EXPECT_EQ(actionIndex(gtkButton, ATSPI_ROLE_PUSH_BUTTON, "AXPress"), 0);
    Names pressFirst{"press", "click"};
    EXPECT_EQ(actionIndex(pressFirst, ATSPI_ROLE_PUSH_BUTTON, "AXPress"), 1);
    EXPECT_EQ(actionIndex(pressFirst, ATSPI_ROLE_PUSH_BUTTON, "press"), 0);
    // With nothing better, "press" is the press; names compare without case.
    EXPECT_EQ(axActionNames(Names{"Press", "SetFocus"}, ATSPI_ROLE_PUSH_BUTTON), (Names{"AXPress", "SetFocus"}));
    EXPECT_EQ(axActionNames(Names{"activate"}, ATSPI_ROLE_MENU_ITEM), (Names{"AXPress"}));
    EXPECT_EQ(axActionNames(Names{"jump"}, ATSPI_ROLE_LINK), (Names{"AXPress"}));
}

TEST(AxVocabulary, BrowserActionNamesPressAndPlaceholdersDoNot) {
    // Chromium: doDefault, open or press beside showContextMenu; check boxes check/uncheck.
    EXPECT_EQ(axActionNames(Names{"doDefault", "showContextMenu"}, ATSPI_ROLE_PUSH_BUTTON),
              (Names{"AXPress", "AXShowMenu"}));
    EXPECT_EQ(actionIndex(Names{"open", "showContextMenu"}, ATSPI_ROLE_PUSH_BUTTON, "AXPress"), 0);
    EXPECT_EQ(actionIndex(Names{"showContextMenu", "check"}, ATSPI_ROLE_CHECK_BOX, "AXPress"), 1);
    EXPECT_EQ(axActionNames(Names{"uncheck"}, ATSPI_ROLE_CHECK_BOX), (Names{"AXPress"}));
    // What a bridge gives where it has no name is never offered, nor pressed.
    EXPECT_EQ(axActionNames(Names{";;", "", "<Alt>T;;"}, ATSPI_ROLE_PUSH_BUTTON), (Names{}));
    EXPECT_EQ(actionIndex(Names{";;", "press"}, ATSPI_ROLE_PUSH_BUTTON, "AXPress"), 1);
}

TEST(AxVocabulary, AnEntrysActivateIsConfirmNotPress) {
    Names entry{"activate"};
    EXPECT_EQ(axActionNames(entry, ATSPI_ROLE_TEXT), (Names{"AXConfirm"}));
    EXPECT_EQ(actionIndex(entry, ATSPI_ROLE_TEXT, "AXPress"), -1);
    EXPECT_EQ(actionIndex(entry, ATSPI_ROLE_PASSWORD_TEXT, "AXConfirm"), 0);
}

TEST(AxVocabulary, NamesAreUniqueAndToolkitNamesNeverPassForAXOnes) {
    EXPECT_EQ(axActionNames(Names{"click", "toggle", "menu", "popup"}, ATSPI_ROLE_TOGGLE_BUTTON),
              (Names{"AXPress", "toggle", "AXShowMenu"}));
    EXPECT_EQ(actionIndex(Names{"click", "menu", "popup"}, ATSPI_ROLE_PUSH_BUTTON, "AXShowMenu"), 1);
    EXPECT_EQ(axActionNames(Names{"AXRaise", ""}, ATSPI_ROLE_FRAME), (Names{}));
    EXPECT_EQ(actionIndex(Names{"AXRaise"}, ATSPI_ROLE_FRAME, "AXRaise"), -1);
    EXPECT_EQ(actionIndex(Names{}, ATSPI_ROLE_PUSH_BUTTON, "AXPress"), -1);
}

}  // namespace

TEST(AxVocabulary, ObjectMarksAreDroppedFromTexts) {
    using platform::atspi::withoutObjectMarks;
    EXPECT_EQ(withoutObjectMarks("\xEF\xBF\xBC\xEF\xBF\xBC"), "");
    EXPECT_EQ(withoutObjectMarks("a\xEF\xBF\xBC" "b \xEF\xBF\xBC"), "ab ");
    // Other characters of the same block, and other marks, stay.
    EXPECT_EQ(withoutObjectMarks("\xEF\xBF\xBD\xEF\xBF\xBB x"), "\xEF\xBF\xBD\xEF\xBF\xBB x");
}

TEST(AxVocabulary, EachBridgeIsTrustedOnlyWithWhatItDoes) {
    using platform::atspi::bridgeFor;
    // GetAll only where it is known to be answered: Qt 5 leaves the bus over it.
    EXPECT_TRUE(bridgeFor("gtk").getAll);
    EXPECT_TRUE(bridgeFor("Gecko").getAll);
    EXPECT_FALSE(bridgeFor("Qt").getAll);
    EXPECT_FALSE(bridgeFor("").getAll);  // did not say
    // Firefox and Chromium: names by index; GTK 3 and unknown bridges: GetActions.
    EXPECT_TRUE(bridgeFor("Gecko").actionsByIndex && bridgeFor("Chromium").actionsByIndex);
    EXPECT_FALSE(bridgeFor("gtk").actionsByIndex || bridgeFor("Qt").actionsByIndex);
    // GTK 4 ("GTK") is not GTK 3 ("gtk").
    auto gtk4 = bridgeFor("GTK"), gtk3 = bridgeFor("gtk");
    EXPECT_TRUE(!gtk4.cache && gtk4.childrenByIndex && gtk4.framesInWindow && gtk4.wholeTextEnd > 0);
    EXPECT_TRUE(gtk3.cache && !gtk3.childrenByIndex && !gtk3.framesInWindow && gtk3.wholeTextEnd == -1);
    EXPECT_TRUE(bridgeFor("Gecko").lazyPages);
    EXPECT_FALSE(bridgeFor("Chromium").lazyPages);
}
