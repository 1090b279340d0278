#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace knokle::test {

// Sets an environment variable (or unsets it, for nullptr) for the life of the object, then restores it.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name(name) {
        if (const char* old = std::getenv(name)) previous = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { previous ? ::setenv(name, previous->c_str(), 1) : ::unsetenv(name); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name;
    std::optional<std::string> previous;
};

} // namespace knokle::test
