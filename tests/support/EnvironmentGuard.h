#pragma once
// Environment variables changed for one test and put back as they were when the guard goes, also when
// the test stops early. On Windows, setenv and unsetenv come from WindowsCompat.h, which the cross
// build includes before every test source.

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pontrel::testing {

class EnvironmentGuard {
  public:
    EnvironmentGuard() = default;
    EnvironmentGuard(const EnvironmentGuard&) = delete;
    EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;

    // Sets `name` to `value`, or removes it with nullopt.
    void set(const char* name, const std::optional<std::string>& value) {
        const char* old = std::getenv(name);
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }

    // Undoes the changes, the last one first, so that a variable set twice gets its first value back.
    ~EnvironmentGuard() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second)
                setenv(it->first.c_str(), it->second->c_str(), 1);
            else
                unsetenv(it->first.c_str());
        }
    }

  private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

} // namespace pontrel::testing
