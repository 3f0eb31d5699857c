// Base64 (RFC 4648, standard alphabet, '=' padding, no line breaks).
#pragma once

#include <string>
#include <string_view>

namespace capture {

std::string base64(std::string_view bytes);

}  // namespace capture
