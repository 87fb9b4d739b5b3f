// VAssertFile: the banner, the rename beyond 10 MiB and the entries of the assert file.
#include "logging/VAssertFile.h"

#include "platform/posix/logging/XPosixLogStream.h"

#include <cstring>
#include <mutex>

namespace vkit {

namespace {

constexpr const char* kBannerTimeFormat = "%A, %B %d, %Y %I:%M:%S %p";
constexpr const char* kEntryTimeFormat = "%m/%d/%y, %X";

struct AssertFileState {
    std::mutex fMutex;
    std::string fPath; // empty while disabled
    bool fOpenedOnce = false;
    int fRenameCounter = 0;
};

AssertFileState& State() {
    static AssertFileState sState;
    return sState;
}

void WriteText(XPosixLogStream& ioStream, const char* inText) {
    ioStream.Write(inText, std::strlen(inText));
}

void WriteText(XPosixLogStream& ioStream, const std::string& inText) {
    ioStream.Write(inText.data(), inText.size());
}

/// A banner: its start, the local time, two line feeds.
void WriteBanner(XPosixLogStream& ioStream, const std::string& inStart) {
    WriteText(ioStream, inStart);
    WriteText(ioStream, XPosixLogStream::FormatLocalNow(kBannerTimeFormat));
    WriteText(ioStream, "\n\n");
}

/// Opens the file for one entry (the caller holds the mutex); false when it cannot be opened.
bool OpenForEntry(AssertFileState& ioState, XPosixLogStream& outStream) {
    if (!ioState.fOpenedOnce) {
        ioState.fOpenedOnce = true;
        if (outStream.Open(ioState.fPath, true, false) != 0)
            return false;
        WriteBanner(outStream, "ZQ log file opened on ");
        return true;
    }
    if (outStream.Open(ioState.fPath, false, false) != 0)
        return false;
    if (outStream.GetPosition() <= VAssertFile::kMaxSize)
        return true;
    outStream.Close();
    int counter = ioState.fRenameCounter++;
    (void)XPosixLogStream::Rename(ioState.fPath, ioState.fPath + std::to_string(counter));
    if (outStream.Open(ioState.fPath, true, false) != 0)
        return false;
    WriteBanner(outStream, std::to_string(counter + 1).append(" nth log opened on "));
    return true;
}

} // namespace

void VAssertFile::Enable(const VFilePath& inBundleFolder) {
    std::string path;
    if (inBundleFolder.IsFolder()) {
        VFilePath withoutExtension(inBundleFolder);
        VString name;
        withoutExtension.GetFolderName(name, false);
        withoutExtension.ToParent().ToSubFile(name + VString("_asserts.txt"));
        VString posix;
        withoutExtension.GetPosixPath(posix);
        path = posix.ToUTF8();
    }
    AssertFileState& state = State();
    std::lock_guard lock(state.fMutex);
    // Another file starts afresh: its first open empties it and writes the banner.
    if (path != state.fPath) {
        state.fOpenedOnce = false;
        state.fRenameCounter = 0;
    }
    state.fPath = path;
}

void VAssertFile::Disable() {
    Enable(VFilePath());
}

bool VAssertFile::IsEnabled() {
    return !GetPosixPath().empty();
}

std::string VAssertFile::GetPosixPath() {
    AssertFileState& state = State();
    std::lock_guard lock(state.fMutex);
    return state.fPath;
}

void VAssertFile::Write(const VString& inText, bool inWithTimeStamp) {
    AssertFileState& state = State();
    std::lock_guard lock(state.fMutex);
    XPosixLogStream stream;
    if (state.fPath.empty() || !OpenForEntry(state, stream))
        return;
    if (inWithTimeStamp) {
        WriteText(stream, "\n");
        WriteText(stream, XPosixLogStream::FormatLocalNow(kEntryTimeFormat));
        WriteText(stream, "\n");
    }
    WriteText(stream, inText.ToUTF8());
}

} // namespace vkit
