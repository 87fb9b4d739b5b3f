// Linux implementation of the command line's path resolution: realpath(3) and stat(2).
#include "platform/posix/cmdline/XPosixRealPath.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>

namespace vkit {

bool XPosixRealPath::Resolve(const std::string& inPath, std::string& outResolved) {
    outResolved.clear();
    char* resolved = ::realpath(inPath.c_str(), nullptr);
    if (resolved == nullptr)
        return false;
    outResolved.assign(resolved);
    std::free(resolved);
    struct stat info;
    if (::stat(outResolved.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && outResolved.back() != '/')
        outResolved.push_back('/');
    return true;
}

} // namespace vkit
