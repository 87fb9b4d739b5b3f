// VProcessLauncher: the command line, arguments and environment of a child, and the reading rounds.
#include "process/VProcessLauncher.h"

#include "errors/VErrorThrow.h"
#include "files/VFilePath.h"
#include "files/VMemoryBuffer.h"

#include <memory>
#include <string>

namespace vkit {

VProcessLauncher::~VProcessLauncher() {
    if (fPlatform.IsRunning())
        (void)Shutdown(false, false); // a time-out is reported on the error context; nothing else to do
}

namespace {

/// The bytes handed to the system for a text: UTF-8, each byte a name kept outside UTF-8 restored.
std::string SystemBytes(const VString& inText) {
    std::string bytes;
    inText.AppendToUTF8KeepingBytes(bytes);
    return bytes;
}

} // namespace

std::vector<VString> VProcessLauncher::SplitCommandLine(const VString& inCommandLine) {
    std::string text = SystemBytes(inCommandLine);
    std::vector<VString> words;
    size_t position = 0;
    while (position < text.size()) {
        if (text[position] == ' ') {
            ++position;
            continue;
        }
        char end = ' ';
        if (text[position] == '"' || text[position] == '\'')
            end = text[position++];
        std::string word;
        while (position < text.size() && text[position] != end) {
            if (text[position] == '\\' && ++position == text.size())
                break;
            word += text[position++];
        }
        // A quoted word: past the closing quote and the character after it.
        if (end != ' ')
            position += 2;
        words.emplace_back().AppendUTF8KeepingBytes(word.data(), word.size());
    }
    return words;
}

VString VProcessLauncher::QuoteArgument(const VString& inArgument) {
    VString quoted(u'"');
    for (UniChar c : inArgument.View()) {
        if (c == u'"' || c == u'\\')
            quoted.AppendUniChar(u'\\');
        quoted.AppendUniChar(c);
    }
    return quoted.AppendUniChar(u'"');
}

void VProcessLauncher::SetDefaultDirectory(const VFilePath& inFolder) {
    inFolder.GetPosixPath(fDefaultDirectory);
}

void VProcessLauncher::SetEnvironmentVariable(const VString& inName, const VString& inValue) {
    if (!inName.IsEmpty())
        fEnvironment[inName] = inValue;
}

void VProcessLauncher::SetBinaryPath(const VString& inPath) {
    fProgram = inPath;
    if (fArguments.empty())
        fArguments.push_back(inPath);
    else
        fArguments.front() = inPath;
}

void VProcessLauncher::CreateArgumentsFromFullCommandLine(const VString& inCommandLine) {
    fArguments = SplitCommandLine(inCommandLine);
    if (!fArguments.empty())
        fProgram = fArguments.front();
}

void VProcessLauncher::AddArgument(const VString& inArgument, bool inQuote) {
    if (inArgument.IsEmpty())
        return;
    if (!inQuote) {
        fArguments.push_back(inArgument);
        return;
    }
    VString quoted(u'"');
    quoted.AppendString(inArgument).AppendUniChar(u'"');
    fArguments.push_back(std::move(quoted));
}

int32_t VProcessLauncher::Start(const VEnvironmentVariables& inEnvironment) {
    XPosixProcessLauncher::Command command;
    command.fProgram = SystemBytes(fProgram);
    command.fArguments.reserve(fArguments.size());
    for (const VString& argument : fArguments)
        command.fArguments.push_back(SystemBytes(argument));
    for (const auto& [name, value] : inEnvironment) {
        if (name.IsEmpty())
            continue;
        std::string entry = SystemBytes(name);
        entry += '=';
        value.AppendToUTF8KeepingBytes(entry);
        command.fEnvironment.push_back(std::move(entry));
    }
    command.fWorkingDirectory = SystemBytes(fDefaultDirectory);
    command.fRedirectInput = fRedirectInput;
    command.fRedirectOutput = fRedirectOutput;
    command.fWaitClosingTimeout = fWaitClosingTimeout;
    command.fProcessTreeKill = fProcessTreeKill;
    return fPlatform.Start(command);
}

int32_t VProcessLauncher::WriteToChild(const void* inData, uint32_t inSize, bool inCloseAfter) {
    return fPlatform.Write(inData, inSize, inCloseAfter);
}

int32_t VProcessLauncher::Shutdown(bool inKill, bool inKillTree) {
    int32_t pid = fPlatform.GetPid();
    if (fPlatform.Shutdown(inKill, inKillTree))
        return 0;
    VString message("the child process ");
    message.AppendLong(pid).AppendCString(" ('").AppendString(fProgram);
    message.AppendCString("') did not end within ").AppendLong(fWaitClosingTimeout);
    message.AppendCString(" ms and was killed with its process group");
    // The time-out is reported on the error context; the child has ended all the same, so the relation
    // ends normally and its exit status stands.
    (void)vThrowUserGeneratedError(VE_PROCESS_WAIT_TIMED_OUT, message);
    return 0;
}

template <class ReadRound>
void VProcessLauncher::_ReadUntilBothEnd(ReadRound&& inReadRound) {
    for (;;) {
        long output = inReadRound(XPosixProcessLauncher::eOutput);
        long error = inReadRound(XPosixProcessLauncher::eError);
        if (output < 0 && error < 0)
            return;
        if (output <= 0 && error <= 0)
            WaitForData();
    }
}

int32_t VProcessLauncher::ReadFromChildAndShutdown(const DataHandler& inOnOutput,
                                                   const DataHandler& inOnError) {
    char buffer[kReadRoundSize];
    _ReadUntilBothEnd([&](XPosixProcessLauncher::EStream inStream) {
        long count = fPlatform.Read(inStream, buffer, kReadRoundSize);
        const DataHandler& handler = inStream == XPosixProcessLauncher::eOutput ? inOnOutput : inOnError;
        if (count > 0 && handler)
            handler(buffer, static_cast<size_t>(count));
        return count;
    });
    return Shutdown(false, false);
}

int32_t VProcessLauncher::ExecuteCommandLine(
    const VString& inCommandLine, int32_t inOptions, VMemoryBuffer* inInput, VMemoryBuffer* outOutput,
    VMemoryBuffer* outError, const VEnvironmentVariables* inEnvironment, const VFilePath* inWorkingDirectory,
    int32_t* outExitStatus, VProcessLauncher** outLauncher, const std::vector<VString>* inExtraArguments,
    bool inQuoteArguments, bool inKillProcessTree) {
    auto launcher = std::make_unique<VProcessLauncher>();
    launcher->CreateArgumentsFromFullCommandLine(inCommandLine);
    if (inEnvironment != nullptr)
        launcher->SetEnvironmentVariables(*inEnvironment);
    if (inWorkingDirectory != nullptr)
        launcher->SetDefaultDirectory(*inWorkingDirectory);
    bool wait = (inOptions & kDoNotWait) == 0;
    if (!wait)
        launcher->SetWaitClosingChildProcess(0);
    launcher->SetQuoteArgumentsIfNeeded(inQuoteArguments);
    if (inExtraArguments != nullptr) {
        for (const VString& argument : *inExtraArguments)
            launcher->AddArgument(argument);
    }
    if (inKillProcessTree)
        launcher->EnableProcessTreeKill();

    int32_t result = launcher->Start();
    if (result == 0) {
        if (inInput != nullptr && !inInput->IsEmpty())
            launcher->WriteToChild(inInput->GetDataPtr(), static_cast<uint32_t>(inInput->GetDataSize()),
                                   false);
        launcher->CloseStandardInput();
        if (wait && (outOutput != nullptr || outError != nullptr)) {
            char scratch[kReadRoundSize];
            launcher->_ReadUntilBothEnd([&](XPosixProcessLauncher::EStream inStream) {
                // Read straight into the buffer's end when it can grow, else into scratch (dropped).
                VMemoryBuffer* buffer = inStream == XPosixProcessLauncher::eOutput ? outOutput : outError;
                size_t size = buffer != nullptr ? buffer->GetDataSize() : 0;
                if (buffer != nullptr && !buffer->SetDataSize(size + kReadRoundSize))
                    buffer = nullptr;
                char* target = buffer != nullptr ? static_cast<char*>(buffer->GetDataPtr()) + size : scratch;
                long count = launcher->fPlatform.Read(inStream, target, kReadRoundSize);
                if (buffer != nullptr)
                    buffer->SetDataSize(size + static_cast<size_t>(count > 0 ? count : 0));
                return count;
            });
        }
        if (outLauncher == nullptr && launcher->Shutdown(false, inKillProcessTree) != 0)
            return -1;
        if (outExitStatus != nullptr)
            *outExitStatus = launcher->GetExitStatus();
    }
    if (outLauncher != nullptr)
        *outLauncher = launcher.release();
    return result;
}

} // namespace vkit
