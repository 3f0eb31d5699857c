// AT-SPI roles and actions in the AX vocabulary controllers know.
#include "platform/x11/atspi/roles.h"

#include <atspi/atspi-constants.h>

#include <algorithm>
#include <cctype>
#include <string_view>

namespace platform::atspi {

const char* axRole(std::uint32_t role, bool multiLine) {
    switch (role) {
        case ATSPI_ROLE_PUSH_BUTTON:
        case ATSPI_ROLE_PUSH_BUTTON_MENU:
            return "AXButton";
        case ATSPI_ROLE_TOGGLE_BUTTON:
        case ATSPI_ROLE_CHECK_BOX:
            return "AXCheckBox";
        case ATSPI_ROLE_RADIO_BUTTON:
            return "AXRadioButton";
        case ATSPI_ROLE_ENTRY:
        case ATSPI_ROLE_PASSWORD_TEXT:
        case ATSPI_ROLE_EDITBAR:
            return "AXTextField";
        case ATSPI_ROLE_TEXT:
            // GTK's entries and text views share this role; lines tell them apart.
            return multiLine ? "AXTextArea" : "AXTextField";
        case ATSPI_ROLE_TERMINAL:
        case ATSPI_ROLE_DOCUMENT_TEXT:
            return "AXTextArea";
        case ATSPI_ROLE_LABEL:
        case ATSPI_ROLE_STATIC:
        case ATSPI_ROLE_ACCELERATOR_LABEL:
        case ATSPI_ROLE_CAPTION:
            return "AXStaticText";
        case ATSPI_ROLE_FRAME:
        case ATSPI_ROLE_WINDOW:
        case ATSPI_ROLE_DIALOG:
        case ATSPI_ROLE_ALERT:
        case ATSPI_ROLE_FILE_CHOOSER:
        case ATSPI_ROLE_COLOR_CHOOSER:
        case ATSPI_ROLE_FONT_CHOOSER:
            return "AXWindow";
        case ATSPI_ROLE_APPLICATION:
            return "AXApplication";
        case ATSPI_ROLE_MENU_BAR:
            return "AXMenuBar";
        case ATSPI_ROLE_MENU:
        case ATSPI_ROLE_POPUP_MENU:
            return "AXMenu";
        case ATSPI_ROLE_MENU_ITEM:
        case ATSPI_ROLE_CHECK_MENU_ITEM:
        case ATSPI_ROLE_RADIO_MENU_ITEM:
        case ATSPI_ROLE_TEAROFF_MENU_ITEM:
            return "AXMenuItem";
        case ATSPI_ROLE_COMBO_BOX:
            return "AXComboBox";
        case ATSPI_ROLE_LIST:
        case ATSPI_ROLE_LIST_BOX:
        case ATSPI_ROLE_DESCRIPTION_LIST:
            return "AXList";
        case ATSPI_ROLE_TABLE:
        case ATSPI_ROLE_DOCUMENT_SPREADSHEET:
            return "AXTable";
        case ATSPI_ROLE_TREE:
        case ATSPI_ROLE_TREE_TABLE:
            return "AXOutline";
        case ATSPI_ROLE_TABLE_ROW:
        case ATSPI_ROLE_TREE_ITEM:
        case ATSPI_ROLE_LIST_ITEM:
            return "AXRow";
        case ATSPI_ROLE_TABLE_CELL:
            return "AXCell";
        case ATSPI_ROLE_COLUMN_HEADER:
        case ATSPI_ROLE_TABLE_COLUMN_HEADER:
            return "AXColumn";
        case ATSPI_ROLE_ROW_HEADER:
        case ATSPI_ROLE_TABLE_ROW_HEADER:
            return "AXRow";
        case ATSPI_ROLE_SCROLL_BAR:
            return "AXScrollBar";
        case ATSPI_ROLE_SCROLL_PANE:
        case ATSPI_ROLE_VIEWPORT:
            return "AXScrollArea";
        case ATSPI_ROLE_SLIDER:
        case ATSPI_ROLE_DIAL:
            return "AXSlider";
        case ATSPI_ROLE_SPIN_BUTTON:
            return "AXIncrementor";
        case ATSPI_ROLE_PROGRESS_BAR:
            return "AXProgressIndicator";
        case ATSPI_ROLE_LEVEL_BAR:
        case ATSPI_ROLE_RATING:
            return "AXLevelIndicator";
        case ATSPI_ROLE_PAGE_TAB_LIST:
            return "AXTabGroup";
        case ATSPI_ROLE_PAGE_TAB:
            return "AXRadioButton";
        case ATSPI_ROLE_TOOL_BAR:
            return "AXToolbar";
        case ATSPI_ROLE_SEPARATOR:
            return "AXSplitter";
        case ATSPI_ROLE_SPLIT_PANE:
            return "AXSplitGroup";
        case ATSPI_ROLE_IMAGE:
        case ATSPI_ROLE_ICON:
        case ATSPI_ROLE_DESKTOP_ICON:
        case ATSPI_ROLE_ANIMATION:
            return "AXImage";
        case ATSPI_ROLE_LINK:
            return "AXLink";
        case ATSPI_ROLE_HEADING:
            return "AXHeading";
        case ATSPI_ROLE_DOCUMENT_WEB:
        case ATSPI_ROLE_DOCUMENT_FRAME:
        case ATSPI_ROLE_DOCUMENT_EMAIL:
        case ATSPI_ROLE_DOCUMENT_PRESENTATION:
            return "AXWebArea";
        case ATSPI_ROLE_TOOL_TIP:
            return "AXHelpTag";
        case ATSPI_ROLE_CALENDAR:
        case ATSPI_ROLE_DATE_EDITOR:
            return "AXDateField";
        case ATSPI_ROLE_CANVAS:
        case ATSPI_ROLE_DRAWING_AREA:
        case ATSPI_ROLE_FILLER:
        case ATSPI_ROLE_PANEL:
        case ATSPI_ROLE_SECTION:
        case ATSPI_ROLE_PARAGRAPH:
        case ATSPI_ROLE_FORM:
        case ATSPI_ROLE_GROUPING:
        case ATSPI_ROLE_HEADER:
        case ATSPI_ROLE_FOOTER:
        case ATSPI_ROLE_STATUS_BAR:
        case ATSPI_ROLE_INFO_BAR:
        case ATSPI_ROLE_NOTIFICATION:
        case ATSPI_ROLE_ROOT_PANE:
        case ATSPI_ROLE_LAYERED_PANE:
        case ATSPI_ROLE_GLASS_PANE:
        case ATSPI_ROLE_OPTION_PANE:
        case ATSPI_ROLE_INTERNAL_FRAME:
        case ATSPI_ROLE_DESKTOP_FRAME:
        case ATSPI_ROLE_DIRECTORY_PANE:
        case ATSPI_ROLE_HTML_CONTAINER:
        case ATSPI_ROLE_EMBEDDED:
        case ATSPI_ROLE_ARTICLE:
        case ATSPI_ROLE_LANDMARK:
        case ATSPI_ROLE_BLOCK_QUOTE:
        case ATSPI_ROLE_LOG:
        case ATSPI_ROLE_PAGE:
            return "AXGroup";
        default:
            return "AXUnknown";
    }
}

const char* axSubrole(std::uint32_t role) {
    switch (role) {
        case ATSPI_ROLE_PASSWORD_TEXT:
            return "AXSecureTextField";
        case ATSPI_ROLE_DIALOG:
        case ATSPI_ROLE_ALERT:
        case ATSPI_ROLE_FILE_CHOOSER:
        case ATSPI_ROLE_COLOR_CHOOSER:
        case ATSPI_ROLE_FONT_CHOOSER:
            return "AXDialog";
        case ATSPI_ROLE_FRAME:
            return "AXStandardWindow";
        case ATSPI_ROLE_TOGGLE_BUTTON:
            return "AXToggle";
        case ATSPI_ROLE_PAGE_TAB:
            return "AXTabButton";
        default:
            return nullptr;
    }
}

bool textIsValue(std::uint32_t role) {
    std::string_view ax = axRole(role, false);
    return ax == "AXStaticText" || ax == "AXTextField" || ax == "AXTextArea" || ax == "AXComboBox";
}

bool isCheckable(std::uint32_t role) {
    return role == ATSPI_ROLE_CHECK_BOX || role == ATSPI_ROLE_TOGGLE_BUTTON ||
           role == ATSPI_ROLE_RADIO_BUTTON || role == ATSPI_ROLE_CHECK_MENU_ITEM ||
           role == ATSPI_ROLE_RADIO_MENU_ITEM;
}

namespace {

std::string lower(const std::string& s) {
    std::string out = s;
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

bool isTextRole(std::uint32_t role) {
    return role == ATSPI_ROLE_ENTRY || role == ATSPI_ROLE_PASSWORD_TEXT || role == ATSPI_ROLE_TEXT ||
           role == ATSPI_ROLE_SPIN_BUTTON || role == ATSPI_ROLE_EDITBAR;
}

// The AX name of each toolkit action ("" when it is left out). Of the actions
// that do what a press does, the first in this order becomes "AXPress"; a
// toolkit's "press" is only taken when nothing better exists, since buttons
// use it for the first half of a click. An entry's "activate" is Enter, so it
// is "AXConfirm". Other names pass unchanged.
std::vector<std::string> mapped(const std::vector<std::string>& actions, std::uint32_t role) {
    static constexpr const char* kPressLike[] = {"click",    "activate", "toggle", "check", "uncheck",
                                                 "jump",     "open",     "dodefault", "press"};
    bool text = isTextRole(role);
    std::string chosen;
    for (auto* candidate : kPressLike) {
        if (text && std::string_view(candidate) == "activate") continue;
        for (auto& a : actions)
            if (lower(a) == candidate) {
                chosen = candidate;
                break;
            }
        if (!chosen.empty()) break;
    }
    std::vector<std::string> out;
    for (auto& a : actions) {
        std::string l = lower(a);
        if (!chosen.empty() && l == chosen)
            out.emplace_back("AXPress");
        else if (text && l == "activate")
            out.emplace_back("AXConfirm");
        else if (l.empty() || l.find(';') != std::string::npos)
            out.emplace_back();  // not a name: what a bridge gave where it had none
        else if (l == "menu" || l == "popup" || l == "showmenu" || l == "show menu" || l == "showcontextmenu")
            out.emplace_back("AXShowMenu");
        else if (a.rfind("AX", 0) == 0)
            out.emplace_back();  // never let a toolkit name pass for an AX one
        else
            out.push_back(a);
    }
    return out;
}

}  // namespace

std::vector<std::string> axActionNames(const std::vector<std::string>& actions, std::uint32_t role) {
    std::vector<std::string> out;
    for (auto& name : mapped(actions, role))
        if (!name.empty() && std::find(out.begin(), out.end(), name) == out.end()) out.push_back(name);
    return out;
}

int actionIndex(const std::vector<std::string>& actions, std::uint32_t role, const std::string& axName) {
    auto names = mapped(actions, role);
    for (std::size_t i = 0; i < names.size(); ++i)
        if (!names[i].empty() && names[i] == axName) return static_cast<int>(i);
    return -1;
}

}  // namespace platform::atspi
