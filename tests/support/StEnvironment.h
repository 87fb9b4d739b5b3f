// StEnvironment: an environment variable set (or unset) for the life of a scope.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace vkit::testing {

/// Sets an environment variable for the scope, or unsets it for a null value, and puts the previous
/// state back.
class StEnvironment {
public:
    StEnvironment(const char* inName, const char* inValue) : fName(inName) {
        if (const char* previous = std::getenv(inName))
            fPrevious = previous;
        if (inValue != nullptr)
            ::setenv(inName, inValue, 1);
        else
            ::unsetenv(inName);
    }
    ~StEnvironment() {
        if (fPrevious)
            ::setenv(fName.c_str(), fPrevious->c_str(), 1);
        else
            ::unsetenv(fName.c_str());
    }
    StEnvironment(const StEnvironment&) = delete;
    StEnvironment& operator=(const StEnvironment&) = delete;

private:
    std::string fName;
    std::optional<std::string> fPrevious;
};

} // namespace vkit::testing
