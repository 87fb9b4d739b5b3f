// VSystem: the alert, shown by a dialog program of the desktop or on standard error, and opening files.
#include "platform/posix/runtime/XPosixSystem.h"
#include "platform/posix/shared/XPosixSpawn.h"
#include "runtime/VSystem.h"
#include "text/VString.h"

#include <string>
#include <vector>

namespace vkit {

namespace {

struct Button {
    const char* fLabel = nullptr; // null: no such button
    ENotificationResponse fAnswer = eNotificationDismissed;
};

/// An alert laid out for the dialog programs, whose buttons sit in three places: the affirmative one
/// (OK), the negative one (Cancel) and an extra one.
struct Alert {
    std::string fTitle;
    std::string fMessage;
    Button fAffirmative;
    Button fNegative;
    Button fExtra;
    bool fDefaultNegative = false;
    bool fCaution = false;
};

Alert MakeAlert(const VString& inTitle, const VString& inMessage, uint32_t inFlags) {
    Alert alert;
    alert.fTitle = inTitle.ToUTF8();
    alert.fMessage = inMessage.ToUTF8();
    switch (inFlags & eNotificationButtonsMask) {
    case eNotificationButtonsOKCancel:
        alert.fAffirmative = {"OK", eNotificationOK};
        alert.fNegative = {"Cancel", eNotificationCancel};
        break;
    case eNotificationButtonsYesNo:
        alert.fAffirmative = {"Yes", eNotificationYes};
        alert.fNegative = {"No", eNotificationNo};
        break;
    case eNotificationButtonsAbortRetryIgnore:
        alert.fAffirmative = {"Abort", eNotificationAbort};
        alert.fNegative = {"Retry", eNotificationRetry};
        alert.fExtra = {"Ignore", eNotificationIgnore};
        break;
    default:
        alert.fAffirmative = {"OK", eNotificationOK};
        break;
    }
    alert.fDefaultNegative =
        alert.fNegative.fLabel != nullptr && (inFlags & eNotificationAffirmativeFirst) == 0;
    alert.fCaution = (inFlags & eNotificationCaution) != 0;
    return alert;
}

// zenity answers 0 for OK and 1 for Cancel; the environment gives a closed dialog (and the extra
// button, which also prints its label) a status of its own, whatever the user's settings.
constexpr int kZenityClosedStatus = 8;

std::vector<std::string> ZenityArguments(const Alert& inAlert) {
    std::vector<std::string> arguments{"zenity"};
    arguments.push_back(inAlert.fNegative.fLabel != nullptr ? "--question"
                        : inAlert.fCaution                  ? "--warning"
                                                            : "--info");
    if (!inAlert.fTitle.empty())
        arguments.push_back("--title=" + inAlert.fTitle);
    arguments.push_back("--text=" + inAlert.fMessage);
    arguments.push_back("--no-markup");
    arguments.push_back(std::string("--ok-label=") + inAlert.fAffirmative.fLabel);
    if (inAlert.fNegative.fLabel != nullptr)
        arguments.push_back(std::string("--cancel-label=") + inAlert.fNegative.fLabel);
    if (inAlert.fExtra.fLabel != nullptr)
        arguments.push_back(std::string("--extra-button=") + inAlert.fExtra.fLabel);
    if (inAlert.fDefaultNegative)
        arguments.push_back("--default-cancel");
    if (inAlert.fCaution && inAlert.fNegative.fLabel != nullptr)
        arguments.push_back("--icon-name=dialog-warning");
    return arguments;
}

bool ZenityAnswer(const Alert& inAlert, int inStatus, const std::string& inOutput,
                  ENotificationResponse& outAnswer) {
    if (inStatus == 0) {
        outAnswer = inAlert.fAffirmative.fAnswer;
    } else if (inStatus == 1 && inAlert.fNegative.fLabel != nullptr) {
        outAnswer = inAlert.fNegative.fAnswer;
    } else if (inStatus == kZenityClosedStatus) {
        bool extra =
            inAlert.fExtra.fLabel != nullptr && inOutput == std::string(inAlert.fExtra.fLabel) + "\n";
        outAnswer = extra ? inAlert.fExtra.fAnswer : eNotificationDismissed;
    } else {
        return false; // the dialog could not be shown
    }
    return true;
}

// kdialog answers 0, 1 and 2 for its yes, no and cancel buttons, and the negative one when closed; its
// warning forms make the negative button the default.
std::vector<std::string> KdialogArguments(const Alert& inAlert) {
    std::vector<std::string> arguments{"kdialog"};
    if (!inAlert.fTitle.empty())
        arguments.insert(arguments.end(), {"--title", inAlert.fTitle});
    if (inAlert.fNegative.fLabel == nullptr) {
        arguments.insert(arguments.end(), {inAlert.fCaution ? "--sorry" : "--msgbox", inAlert.fMessage,
                                           "--ok-label", inAlert.fAffirmative.fLabel});
        return arguments;
    }
    const char* kind = inAlert.fExtra.fLabel != nullptr ? "--warningyesnocancel"
                       : inAlert.fDefaultNegative       ? "--warningyesno"
                                                        : "--yesno";
    arguments.insert(arguments.end(), {kind, inAlert.fMessage, "--yes-label", inAlert.fAffirmative.fLabel,
                                       "--no-label", inAlert.fNegative.fLabel});
    if (inAlert.fExtra.fLabel != nullptr)
        arguments.insert(arguments.end(), {"--cancel-label", inAlert.fExtra.fLabel});
    return arguments;
}

bool KdialogAnswer(const Alert& inAlert, int inStatus, const std::string&, ENotificationResponse& outAnswer) {
    const Button* buttons[] = {&inAlert.fAffirmative, &inAlert.fNegative, &inAlert.fExtra};
    if (inStatus < 0 || inStatus > 2 || buttons[inStatus]->fLabel == nullptr)
        return false; // the dialog could not be shown
    outAnswer = buttons[inStatus]->fAnswer;
    return true;
}

struct DialogProgram {
    std::vector<std::string> (*fArguments)(const Alert&);
    std::vector<std::string> fEnvironment;
    bool (*fAnswer)(const Alert&, int, const std::string&, ENotificationResponse&);
};

/// Shows the alert with the first dialog program that can; false when none can.
bool ShowDialog(const Alert& inAlert, ENotificationResponse* outResponse) {
    const DialogProgram programs[] = {
        {ZenityArguments,
         {"ZENITY_OK=0", "ZENITY_CANCEL=1", "ZENITY_ESC=" + std::to_string(kZenityClosedStatus),
          "ZENITY_EXTRA=" + std::to_string(kZenityClosedStatus)},
         ZenityAnswer},
        {KdialogArguments, {}, KdialogAnswer},
    };
    for (const DialogProgram& program : programs) {
        int status = 0;
        std::string output;
        bool wait = outResponse != nullptr;
        if (XPosixSpawn::Run(program.fArguments(inAlert), program.fEnvironment, wait ? &status : nullptr,
                             wait ? &output : nullptr) != 0)
            continue;
        if (!wait || program.fAnswer(inAlert, status, output, *outResponse))
            return true;
    }
    return false;
}

} // namespace

bool VSystem::DisplayNotification(const VString& inTitle, const VString& inMessage, uint32_t inFlags,
                                  ENotificationResponse* outResponse) {
    if (XPosixSystem::HasGraphicalSession() &&
        ShowDialog(MakeAlert(inTitle, inMessage, inFlags), outResponse))
        return true;
    std::string text;
    if (!inTitle.IsEmpty()) {
        inTitle.AppendToUTF8(text);
        text += ": ";
    }
    inMessage.AppendToUTF8(text);
    text += '\n';
    if (outResponse != nullptr)
        *outResponse = GetDefaultResponse(inFlags);
    return XPosixSystem::WriteToStandardError(text.data(), text.size());
}

bool VSystem::OpenWithDefaultApplication(const VString& inPosixPath) {
    return !inPosixPath.IsEmpty() &&
           XPosixSpawn::Run({"xdg-open", inPosixPath.ToUTF8()}, {}, nullptr, nullptr) == 0;
}

} // namespace vkit
