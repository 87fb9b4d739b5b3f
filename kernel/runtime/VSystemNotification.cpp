// VSystem: the alert, laid out from its button set and shown by the platform's dialog, or written on
// standard error; and opening files.
#include "platform/posix/runtime/XPosixNotification.h"
#include "platform/posix/runtime/XPosixSystem.h"
#include "runtime/VSystem.h"
#include "text/VString.h"

#include <string>
#include <vector>

namespace vkit {

namespace {

using Button = XPosixNotification::Button;

/// The button, labelled inLabel unless that is empty.
Button MakeButton(const char* inOwnLabel, ENotificationResponse inAnswer, const VString& inLabel) {
    return {inLabel.IsEmpty() ? std::string(inOwnLabel) : inLabel.ToUTF8(), inAnswer};
}

/// The header, an empty line and the body; a dialog breaks lines at line feeds alone.
std::string DialogText(const VString& inTitle, const VString& inMessage) {
    std::string text;
    if (!inTitle.IsEmpty()) {
        inTitle.AppendToUTF8(text);
        text += "\n\n";
    }
    inMessage.AppendToUTF8(text);
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at))
        text.erase(at, 1);
    return text;
}

XPosixNotification::Alert MakeAlert(const VString& inTitle, const VString& inMessage, uint32_t inFlags,
                                    const VNotificationOptions& inOptions) {
    XPosixNotification::Alert alert;
    alert.fWindowTitle = VSystem::GetApplicationName().ToUTF8();
    alert.fText = DialogText(inTitle, inMessage);
    const VString& yes = inOptions.fAffirmativeLabel;
    const VString& no = inOptions.fNegativeLabel;
    switch (inFlags & eNotificationButtonsMask) {
    case eNotificationButtonsOKCancel:
        alert.fAffirmative = MakeButton("OK", eNotificationOK, yes);
        alert.fNegative = MakeButton("Cancel", eNotificationCancel, no);
        break;
    case eNotificationButtonsYesNo:
        alert.fAffirmative = MakeButton("Yes", eNotificationYes, yes);
        alert.fNegative = MakeButton("No", eNotificationNo, no);
        break;
    case eNotificationButtonsAbortRetryIgnore:
        alert.fAffirmative = MakeButton("Abort", eNotificationAbort, yes);
        alert.fNegative = MakeButton("Retry", eNotificationRetry, no);
        alert.fExtra = MakeButton("Ignore", eNotificationIgnore, VString());
        break;
    default:
        alert.fAffirmative = MakeButton("OK", eNotificationOK, yes);
        break;
    }
    alert.fDefaultNegative =
        !alert.fNegative.fLabel.empty() && (inFlags & eNotificationAffirmativeFirst) == 0;
    alert.fLevel = (inFlags & eNotificationError) != 0     ? XPosixNotification::Level::kError
                   : (inFlags & eNotificationCaution) != 0 ? XPosixNotification::Level::kCaution
                                                           : XPosixNotification::Level::kPlain;
    alert.fDismissedAnswer = eNotificationDismissed;
    return alert;
}

/// "application: title", a line feed and the message; or "application: message". Who speaks comes
/// first, for a reader of a terminal that several programs write to.
std::string TerminalText(const VString& inTitle, const VString& inMessage) {
    std::string text;
    VString name = VSystem::GetApplicationName();
    if (!name.IsEmpty()) {
        name.AppendToUTF8(text);
        text += ": ";
    }
    if (!inTitle.IsEmpty()) {
        inTitle.AppendToUTF8(text);
        text += '\n';
    }
    inMessage.AppendToUTF8(text);
    text += '\n';
    return text;
}

} // namespace

bool VSystem::DisplayNotification(const VString& inTitle, const VString& inMessage, uint32_t inFlags,
                                  ENotificationResponse* outResponse, const VNotificationOptions* inOptions,
                                  std::vector<VString>* outDialogFailures) {
    if (XPosixSystem::HasGraphicalSession()) {
        std::vector<std::string> failures;
        int answer = 0;
        bool shown =
            XPosixNotification::Show(MakeAlert(inTitle, inMessage, inFlags,
                                               inOptions != nullptr ? *inOptions : VNotificationOptions()),
                                     outResponse != nullptr ? &answer : nullptr, failures);
        if (outDialogFailures != nullptr) {
            for (const std::string& failure : failures)
                outDialogFailures->emplace_back(failure);
        }
        if (shown) {
            if (outResponse != nullptr)
                *outResponse = static_cast<ENotificationResponse>(answer);
            return true;
        }
    }
    std::string text = TerminalText(inTitle, inMessage);
    if (outResponse != nullptr)
        *outResponse = GetDefaultResponse(inFlags);
    return XPosixSystem::WriteToStandardError(text.data(), text.size());
}

bool VSystem::OpenWithDefaultApplication(const VString& inPosixPath) {
    if (inPosixPath.IsEmpty())
        return false;
    std::string path;
    inPosixPath.AppendToUTF8KeepingBytes(path);
    return XPosixNotification::OpenWithDefaultApplication(path);
}

} // namespace vkit
