// XPosixBundle: /proc/self/exe behind the main-bundle queries.
#include "platform/posix/application/XPosixBundle.h"

#include "platform/posix/shared/XPosixCalls.h"

#include <string_view>

namespace vkit {

bool XPosixBundle::GetExecutablePath(std::string& outPath) {
    if (ReadLinkText(AT_FDCWD, "/proc/self/exe", outPath) != 0)
        return false;
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
