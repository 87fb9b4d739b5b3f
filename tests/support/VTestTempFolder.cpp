// VTestTempFolder: temporary folders for tests.
#include "support/VTestTempFolder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <ftw.h>
#include <linux/fs.h>
#include <sstream>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vkit::testing {

namespace {

void MakeParents(const std::string& inPath) {
    for (size_t slash = inPath.find('/', 1); slash != std::string::npos; slash = inPath.find('/', slash + 1))
        ::mkdir(inPath.substr(0, slash).c_str(), 0755);
}

int Unlock(const char* inPath, const struct stat* inStat, int inType, FTW*) {
    if (inType == FTW_SL || inType == FTW_SLN)
        return 0;
    if (inType == FTW_D || inType == FTW_DNR || inType == FTW_DP)
        ::chmod(inPath, 0700);
    int fd = ::open(inPath, O_RDONLY | O_NONBLOCK | O_NOFOLLOW);
    if (fd >= 0) {
        int flags = 0;
        if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & (FS_IMMUTABLE_FL | FS_APPEND_FL))) {
            flags &= ~(FS_IMMUTABLE_FL | FS_APPEND_FL);
            ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
        }
        ::close(fd);
    }
    return 0;
}

int RemoveOne(const char* inPath, const struct stat*, int inType, FTW*) {
    if (inType == FTW_DP)
        ::rmdir(inPath);
    else
        ::unlink(inPath);
    return 0;
}

} // namespace

VTestTempFolder::VTestTempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != 0 ? base : "/tmp") + "/vkit-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp '" + pattern + "': " + std::strerror(errno));
    fPath = pattern;
}

VTestTempFolder::~VTestTempFolder() {
    RemoveTree(fPath);
}

void VTestTempFolder::RemoveTree(const std::string& inPath) {
    ::nftw(inPath.c_str(), Unlock, 32, FTW_PHYS);
    ::nftw(inPath.c_str(), RemoveOne, 32, FTW_PHYS | FTW_DEPTH);
}

std::string VTestTempFolder::WriteFile(const std::string& inRelative, const std::string& inContent) const {
    std::string path = *this / inRelative;
    MakeParents(path);
    std::ofstream(path, std::ios::binary) << inContent;
    return path;
}

std::string VTestTempFolder::MakeFolder(const std::string& inRelative) const {
    std::string path = *this / inRelative;
    MakeParents(path + "/");
    return path;
}

int RunShell(const std::string& inCommand) {
    int status = std::system(inCommand.c_str());
    return status == -1 ? -1 : WEXITSTATUS(status);
}

std::string ReadFile(const std::string& inPath) {
    std::ifstream in(inPath, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool Eventually(const std::function<bool()>& inCondition) {
    for (int round = 0; round < 2000 && !inCondition(); ++round)
        usleep(10000);
    return inCondition();
}

} // namespace vkit::testing
