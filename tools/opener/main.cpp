// zq-open: starts the executable of an application bundle, detached, and returns at once; the updater
// restarts the application it updated with it: zq-open -a <bundle> [--args <arguments>...].
#include "platform/posix/application/XPosixPlistReader.h"
#include "platform/posix/errors/XPosixErrorText.h"
#include "platform/posix/files/XPosixFileInfo.h"
#include "platform/posix/shared/XPosixSpawn.h"
#include "runtime/VBundle.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace vkit;

namespace {

int Fail(const std::string& inMessage) {
    std::fprintf(stderr, "zq-open: %s\n", inMessage.c_str());
    return 1;
}

/// The "CFBundleExecutable" value, when it is a plain file name (the executable stays in Contents/MacOS).
std::string ExecutableName(const XPosixPlistReader::Entries& inEntries) {
    for (const auto& [key, value] : inEntries) {
        if (key == VBundle::kExecutableKey) {
            std::string name = value.ToUTF8();
            bool plain = !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
            return plain ? name : std::string();
        }
    }
    return std::string();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3 || std::strcmp(argv[1], "-a") != 0 || (argc > 3 && std::strcmp(argv[3], "--args") != 0))
        return Fail("usage: zq-open -a <application bundle> [--args <arguments>...]");
    std::string bundle = argv[2];
    while (bundle.size() > 1 && bundle.back() == '/')
        bundle.pop_back();
    if (!XPosixFileInfo::IsDirectory(bundle, true))
        return Fail("no application bundle at '" + bundle + "'");
    std::string infoPath = bundle + "/Contents/Info.plist";
    XPosixPlistReader::Entries entries;
    XPosixPlistReader::Failure failure;
    if (!XPosixPlistReader::ReadFile(infoPath, entries, failure))
        return Fail("cannot read '" + infoPath + "': " + failure.fMessage);
    std::string name = ExecutableName(entries);
    if (name.empty())
        return Fail("'" + infoPath + "' names no executable (" + VBundle::kExecutableKey + ")");

    // The application gets its own session, away from the updater's terminal and process group, the
    // root as working directory (no folder of the update stays busy) and no stream of the updater.
    std::string executable = bundle + "/Contents/MacOS/" + name;
    std::vector<char*> arguments{executable.data()};
    arguments.insert(arguments.end(), argv + (argc > 4 ? 4 : argc), argv + argc);
    arguments.push_back(nullptr);
    XPosixSpawn::Request request;
    request.fProgram = executable.c_str();
    request.fArguments = arguments.data();
    request.fWorkingDirectory = "/";
    request.fStandard[0] = request.fStandard[1] = request.fStandard[2] = XPosixSpawn::kNullDevice;
    request.fNewSession = true;
    int pid = 0;
    if (int error = XPosixSpawn::Start(request, pid))
        return Fail("cannot start '" + executable + "': " + XPosixErrorText::GetSystemMessage(error));
    return 0;
}
