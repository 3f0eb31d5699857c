// AT-SPI roles and actions in the AX vocabulary controllers know. Internal to
// the Linux backend.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::atspi {

// The AX role of an AT-SPI role (AtspiRole); `multiLine` tells GTK's text
// views from its entries, which share a role.
const char* axRole(std::uint32_t role, bool multiLine);
// The AX subrole, null when there is none.
const char* axSubrole(std::uint32_t role);
// Roles whose value is their text: fields, text areas and static text. A
// container's or a control's text is its children's, or its title.
bool textIsValue(std::uint32_t role);
// Roles whose value is their checked state.
bool isCheckable(std::uint32_t role);
// The AX names of an element's actions, in order and without repeats.
std::vector<std::string> axActionNames(const std::vector<std::string>& actions, std::uint32_t role);
// The toolkit action that performs an AX action; -1 when there is none.
int actionIndex(const std::vector<std::string>& actions, std::uint32_t role, const std::string& axName);

}  // namespace platform::atspi
