// The error value of every failed operation.
#pragma once

#include <string>

namespace channel {

// Thrown by operations; turned into {"error": message, "code": code} by the
// response step and nowhere else.
struct Failure {
    std::string message;  // a sentence for people
    std::string code;     // a short machine word such as "bad_args"
};

}  // namespace channel
