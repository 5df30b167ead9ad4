#pragma once
// The message of the project's error that an action throws, so that a test can look for the file,
// table or record it must name.

#include "dbf/Error.h"

#include <string>

namespace pontrel::testing {

// What `action` threw as pontrel::Error, or "" when it threw nothing; any other exception goes on.
template <typename Action> std::string errorOf(Action&& action) {
    try {
        action();
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

} // namespace pontrel::testing
