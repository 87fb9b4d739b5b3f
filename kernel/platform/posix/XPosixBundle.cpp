// XPosixBundle: /proc/self/exe behind the main-bundle queries.
#include "platform/posix/XPosixBundle.h"

#include <string_view>
#include <unistd.h>

namespace vkit {

bool XPosixBundle::GetExecutablePath(std::string& outPath) {
    // The link's length is not known in advance: grow until the text fits with room to spare.
    outPath.resize(256);
    while (true) {
        ssize_t length = readlink("/proc/self/exe", outPath.data(), outPath.size());
        if (length < 0) {
            outPath.clear();
            return false;
        }
        if (static_cast<size_t>(length) < outPath.size()) {
            outPath.resize(static_cast<size_t>(length));
            break;
        }
        outPath.resize(outPath.size() * 2);
    }
    // The kernel marks an executable whose file was removed; its path names nothing any more.
    constexpr std::string_view kDeleted = " (deleted)";
    if (outPath.empty() || outPath.front() != '/' ||
        (outPath.size() > kDeleted.size() && outPath.ends_with(kDeleted))) {
        outPath.clear();
        return false;
    }
    return true;
}

} // namespace vkit
