// A stand-in for the C library's readdir in the file tests: when armed, every entry comes without its
// type (as on file systems that do not record it), and the entry of the chosen name is removed just
// before it is returned, as if another process removed it while the folder was read.
#include "ReaddirInterposer.h"

#include <atomic>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

std::atomic<bool> sArmed{false};
std::string sVanishingName;

} // namespace

extern "C" struct dirent* readdir(DIR* inDirectory) {
    using Readdir = struct dirent* (*)(DIR*);
    static const Readdir sReal = reinterpret_cast<Readdir>(::dlsym(RTLD_NEXT, "readdir"));
    struct dirent* entry = sReal(inDirectory);
    if (entry != nullptr && sArmed.load()) {
        entry->d_type = DT_UNKNOWN;
        if (sVanishingName == entry->d_name)
            ::unlinkat(::dirfd(inDirectory), entry->d_name, 0);
    }
    return entry;
}

namespace vkit::testing {

StVanishingEntry::StVanishingEntry(const std::string& inName) {
    sVanishingName = inName;
    sArmed.store(true);
}

StVanishingEntry::~StVanishingEntry() {
    sArmed.store(false);
}

} // namespace vkit::testing
