// Helpers of the tests that work on whole trees: sample trees, tree comparison, child processes.
#include "support/VTestTrees.h"

#include "support/VTestTempFolder.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vkit::testing {

namespace {

void Write(const std::string& inPath, const std::string& inContent, mode_t inMode) {
    int fd = ::open(inPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    for (size_t done = 0; done < inContent.size();) {
        ssize_t step = ::write(fd, inContent.data() + done, inContent.size() - done);
        if (step <= 0)
            break;
        done += static_cast<size_t>(step);
    }
    ::fchmod(fd, inMode);
    ::close(fd);
}

void SetTimes(const std::string& inPath, time_t inSeconds, long inNanoseconds) {
    const struct timespec times[2] = {{inSeconds - 1000, 0}, {inSeconds, inNanoseconds}};
    ::utimensat(AT_FDCWD, inPath.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

std::string Pattern(size_t inSize, unsigned inSeed) {
    std::string content(inSize, '\0');
    unsigned state = inSeed * 2654435761u + 1;
    for (char& byte : content) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 16);
    }
    return content;
}

std::vector<std::string> SortedNames(const std::string& inFolder) {
    std::vector<std::string> names;
    if (DIR* listing = ::opendir(inFolder.c_str())) {
        while (struct dirent* entry = ::readdir(listing)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(listing);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string CompareItems(const std::string& inExpected, const std::string& inActual, bool inCompareTimes) {
    struct stat expected;
    struct stat actual;
    if (::lstat(inExpected.c_str(), &expected) != 0)
        return "cannot read " + inExpected;
    if (::lstat(inActual.c_str(), &actual) != 0)
        return "missing " + inActual;
    if ((expected.st_mode & S_IFMT) != (actual.st_mode & S_IFMT))
        return "kind differs: " + inActual;
    if (!S_ISLNK(expected.st_mode) && (expected.st_mode & 07777) != (actual.st_mode & 07777))
        return "mode differs: " + inActual;
    // Only root can give an item to another owner: the copy keeps owners when run as root.
    if (::geteuid() == 0 && (expected.st_uid != actual.st_uid || expected.st_gid != actual.st_gid))
        return "owner differs: " + inActual;
    if (inCompareTimes && (expected.st_mtim.tv_sec != actual.st_mtim.tv_sec ||
                           expected.st_mtim.tv_nsec != actual.st_mtim.tv_nsec))
        return "modification time differs: " + inActual;
    if (S_ISLNK(expected.st_mode))
        return LinkTarget(inExpected) == LinkTarget(inActual) ? std::string()
                                                              : "link target differs: " + inActual;
    if (S_ISREG(expected.st_mode)) {
        if (expected.st_size != actual.st_size || ReadFile(inExpected) != ReadFile(inActual))
            return "content differs: " + inActual;
        return std::string();
    }
    if (!S_ISDIR(expected.st_mode))
        return std::string();
    std::vector<std::string> expectedNames = SortedNames(inExpected);
    std::vector<std::string> actualNames = SortedNames(inActual);
    if (expectedNames != actualNames)
        return "items differ in " + inActual;
    for (const std::string& name : expectedNames) {
        std::string difference = CompareItems(inExpected + "/" + name, inActual + "/" + name, inCompareTimes);
        if (!difference.empty())
            return difference;
    }
    return std::string();
}

} // namespace

std::string LinkTarget(const std::string& inPath) {
    char buffer[4096];
    ssize_t length = ::readlink(inPath.c_str(), buffer, sizeof(buffer));
    return length < 0 ? std::string() : std::string(buffer, static_cast<size_t>(length));
}

void BuildSampleTree(const std::string& inRoot) {
    ::mkdir(inRoot.c_str(), 0755);
    Write(inRoot + "/plain.txt", "plain content\n", 0644);
    Write(inRoot + "/script.sh", "#!/bin/sh\necho run\n", 0755);
    Write(inRoot + "/private", "secret", 0600);
    Write(inRoot + "/readonly.txt", "read only", 0444);
    Write(inRoot + "/setgid-tool", "tool", 02755);
    Write(inRoot + "/empty", "", 0644);
    Write(inRoot + "/shared.txt", "written by all", 0666);
    Write(inRoot + "/nobodys.txt", "owned by another user", 0640);
    ::chown((inRoot + "/nobodys.txt").c_str(), 65534, 65534);
    ::lchown((inRoot + "/dangling-link").c_str(), 65534, 65534);
    Write(inRoot + "/big.bin", Pattern(3 * 1024 * 1024 + 17, 7), 0644);
    Write(inRoot + "/.hidden", "hidden file", 0644);
    ::mkdir((inRoot + "/.hiddenfolder").c_str(), 0755);
    Write(inRoot + "/.hiddenfolder/inside", "inside hidden", 0640);
    ::mkdir((inRoot + "/emptyfolder").c_str(), 0750);
    ::mkdir((inRoot + "/Contents").c_str(), 0755);
    ::mkdir((inRoot + "/Contents/Resources").c_str(), 0755);
    ::mkdir((inRoot + "/Contents/Resources/fr.lproj").c_str(), 0755);
    Write(inRoot + "/Contents/Resources/fr.lproj/strings.xlf", "<xliff/>", 0644);
    Write(inRoot + "/Contents/Info.plist", "<plist/>", 0644);
    ::mkdir((inRoot + "/lockedfolder").c_str(), 0755);
    Write(inRoot + "/lockedfolder/kept", "kept in a read-only folder", 0644);
    ::symlink("plain.txt", (inRoot + "/relative-link").c_str());
    ::symlink("/etc/hostname", (inRoot + "/absolute-link").c_str());
    ::symlink("does-not-exist", (inRoot + "/dangling-link").c_str());
    ::symlink("Contents/Resources", (inRoot + "/folder-link").c_str());
    ::lchown((inRoot + "/folder-link").c_str(), 65534, 65534);
    ::chown((inRoot + "/emptyfolder").c_str(), 65534, 65534);
    SetTimes(inRoot + "/plain.txt", 1000000000, 123456789);
    SetTimes(inRoot + "/relative-link", 1100000000, 5);
    SetTimes(inRoot + "/Contents/Resources/fr.lproj", 1200000000, 987654321);
    SetTimes(inRoot + "/Contents/Resources", 1200000001, 1);
    SetTimes(inRoot + "/Contents", 1200000002, 2);
    SetTimes(inRoot + "/emptyfolder", 1300000000, 3);
    SetTimes(inRoot + "/lockedfolder", 1400000000, 4);
    ::chmod((inRoot + "/lockedfolder").c_str(), 0555);
    SetTimes(inRoot, 1500000000, 5);
}

void BuildLargeTree(const std::string& inRoot, int inFolders, int inFilesPerFolder) {
    ::mkdir(inRoot.c_str(), 0755);
    for (int folder = 0; folder < inFolders; ++folder) {
        std::string path = inRoot + "/folder" + std::to_string(folder);
        ::mkdir(path.c_str(), 0755);
        for (int file = 0; file < inFilesPerFolder; ++file) {
            unsigned seed = static_cast<unsigned>(folder * inFilesPerFolder + file);
            Write(path + "/file" + std::to_string(file) + ".dat",
                  Pattern(1024 + (seed * 977) % (15 * 1024), seed), 0644);
        }
        ::symlink(("../folder" + std::to_string((folder + 1) % inFolders)).c_str(), (path + "/next").c_str());
    }
}

std::string CompareTrees(const std::string& inExpected, const std::string& inActual, bool inCompareTimes) {
    return CompareItems(inExpected, inActual, inCompareTimes);
}

std::vector<std::string> ListNamesWithPrefix(const std::string& inFolder, const std::string& inPrefix) {
    std::vector<std::string> names = SortedNames(inFolder);
    std::erase_if(names, [&](const std::string& name) { return name.rfind(inPrefix, 0) != 0; });
    return names;
}

bool ItemExists(const std::string& inPath) {
    struct stat status;
    return ::lstat(inPath.c_str(), &status) == 0;
}

int RunInChild(const std::function<int()>& inBody) {
    pid_t child = ::fork();
    if (child == 0)
        ::_exit(inBody());
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

bool SetInodeFlag(const std::string& inPath, int inFlag, bool inSet) {
    int fd = ::open(inPath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = inSet ? (flags | inFlag) : (flags & ~inFlag);
        done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return done;
}

int ModeOf(const std::string& inPath) {
    struct stat status;
    return ::lstat(inPath.c_str(), &status) == 0 ? static_cast<int>(status.st_mode & 07777) : -1;
}

} // namespace vkit::testing
