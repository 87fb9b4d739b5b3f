// StVanishingEntry: makes a file vanish while the folder that holds it is listed.
#pragma once

#include <string>

namespace vkit::testing {

/// While it lives, folder listings (readdir) give entries without their type, so that the reader looks
/// each one up, and the file named inName is removed just before its entry is returned.
class StVanishingEntry {
public:
    explicit StVanishingEntry(const std::string& inName);
    ~StVanishingEntry();
    StVanishingEntry(const StVanishingEntry&) = delete;
    StVanishingEntry& operator=(const StVanishingEntry&) = delete;
};

} // namespace vkit::testing
