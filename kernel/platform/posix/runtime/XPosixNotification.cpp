// XPosixNotification: the arguments, environment and answers of zenity and kdialog, and xdg-open.
#include "platform/posix/runtime/XPosixNotification.h"

#include "platform/posix/shared/XPosixSpawn.h"

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstring>
#include <langinfo.h>
#include <string_view>

namespace vkit {

namespace {

using Alert = XPosixNotification::Alert;
using Level = XPosixNotification::Level;

// zenity answers 0 for OK; the environment gives Cancel, a closed dialog and the extra button (which
// also prints its label) statuses of their own, whatever the user's settings, apart from the 1 of a
// dialog that GTK could not start (no display) and the 255 of arguments it refused.
constexpr int kZenityCancelStatus = 6;
constexpr int kZenityClosedStatus = 8;

bool HasNegative(const Alert& inAlert) {
    return !inAlert.fNegative.fLabel.empty();
}

bool HasExtra(const Alert& inAlert) {
    return !inAlert.fExtra.fLabel.empty();
}

std::vector<std::string> ZenityArguments(const Alert& inAlert) {
    std::vector<std::string> arguments{"zenity"};
    const char* kind[] = {"--info", "--warning", "--error"};
    arguments.push_back(HasNegative(inAlert) ? "--question" : kind[static_cast<int>(inAlert.fLevel)]);
    if (!inAlert.fWindowTitle.empty())
        arguments.push_back("--title=" + inAlert.fWindowTitle);
    arguments.push_back("--text=" + inAlert.fText);
    arguments.push_back("--no-markup");
    arguments.push_back("--ok-label=" + inAlert.fAffirmative.fLabel);
    if (HasNegative(inAlert))
        arguments.push_back("--cancel-label=" + inAlert.fNegative.fLabel);
    if (HasExtra(inAlert))
        arguments.push_back("--extra-button=" + inAlert.fExtra.fLabel);
    if (inAlert.fDefaultNegative)
        arguments.push_back("--default-cancel");
    // A question shows a question mark unless told otherwise; the other kinds have the level's icon.
    if (HasNegative(inAlert) && inAlert.fLevel != Level::kPlain)
        arguments.push_back(inAlert.fLevel == Level::kError ? "--icon-name=dialog-error"
                                                            : "--icon-name=dialog-warning");
    return arguments;
}

bool ZenityAnswer(const Alert& inAlert, int inStatus, const std::string& inOutput, int& outAnswer) {
    if (inStatus == 0) {
        outAnswer = inAlert.fAffirmative.fAnswer;
    } else if (inStatus == kZenityCancelStatus && HasNegative(inAlert)) {
        outAnswer = inAlert.fNegative.fAnswer;
    } else if (inStatus == kZenityClosedStatus) {
        bool extra = HasExtra(inAlert) && inOutput == inAlert.fExtra.fLabel + "\n";
        outAnswer = extra ? inAlert.fExtra.fAnswer : inAlert.fDismissedAnswer;
    } else {
        return false; // the dialog could not be shown
    }
    return true;
}

// kdialog answers 0, 1 and 2 for its yes, no and cancel buttons, and the negative one when closed; its
// warning forms make the negative button the default and show a warning icon.
std::vector<std::string> KdialogArguments(const Alert& inAlert) {
    std::vector<std::string> arguments{"kdialog"};
    if (!inAlert.fWindowTitle.empty())
        arguments.insert(arguments.end(), {"--title", inAlert.fWindowTitle});
    if (!HasNegative(inAlert)) {
        const char* kind[] = {"--msgbox", "--sorry", "--error"};
        arguments.insert(arguments.end(), {kind[static_cast<int>(inAlert.fLevel)], inAlert.fText,
                                           "--ok-label", inAlert.fAffirmative.fLabel});
        return arguments;
    }
    const char* kind = HasExtra(inAlert)                                             ? "--warningyesnocancel"
                       : inAlert.fDefaultNegative || inAlert.fLevel != Level::kPlain ? "--warningyesno"
                                                                                     : "--yesno";
    arguments.insert(arguments.end(), {kind, inAlert.fText, "--yes-label", inAlert.fAffirmative.fLabel,
                                       "--no-label", inAlert.fNegative.fLabel});
    if (HasExtra(inAlert))
        arguments.insert(arguments.end(), {"--cancel-label", inAlert.fExtra.fLabel});
    // Its question forms have no error icon of their own.
    if (inAlert.fLevel == Level::kError)
        arguments.insert(arguments.end(), {"--icon", "dialog-error"});
    return arguments;
}

bool KdialogAnswer(const Alert& inAlert, int inStatus, const std::string&, int& outAnswer) {
    const XPosixNotification::Button* buttons[] = {&inAlert.fAffirmative, &inAlert.fNegative,
                                                   &inAlert.fExtra};
    if (inStatus < 0 || inStatus > 2 || buttons[inStatus]->fLabel.empty())
        return false; // the dialog could not be shown
    outAnswer = buttons[inStatus]->fAnswer;
    return true;
}

/// True when the locale the environment gives a child (LC_ALL, LC_CTYPE, LANG) exists and uses UTF-8.
bool InheritsUTF8Locale() {
    locale_t locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    if (locale == static_cast<locale_t>(nullptr))
        return false;
    bool utf8 = std::strcmp(nl_langinfo_l(CODESET, locale), "UTF-8") == 0;
    freelocale(locale);
    return utf8;
}

/// What a program that could not show the alert said, on one line: its name, then its status and its
/// standard error, its lines joined by "; ".
std::string DescribeFailure(const std::string& inProgram, int inStatus, const std::string& inErrorOutput) {
    std::string text = inProgram + (inStatus == -127 ? " was ended by a signal"
                                                     : " exited with status " + std::to_string(inStatus));
    const char* separator = ": ";
    for (size_t start = 0; start < inErrorOutput.size();) {
        size_t end = std::min(inErrorOutput.find('\n', start), inErrorOutput.size());
        std::string_view line(inErrorOutput.data() + start, end - start);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\r'))
            line.remove_suffix(1);
        if (!line.empty()) {
            text.append(separator).append(line);
            separator = "; ";
        }
        start = end + 1;
    }
    return text;
}

struct DialogProgram {
    std::vector<std::string> (*fArguments)(const Alert&);
    std::vector<std::string> fEnvironment;
    bool (*fAnswer)(const Alert&, int, const std::string&, int&);
};

} // namespace

bool XPosixNotification::Show(const Alert& inAlert, int* outAnswer, std::vector<std::string>& ioFailures) {
    const std::string closed = std::to_string(kZenityClosedStatus);
    DialogProgram programs[] = {
        {ZenityArguments,
         {"ZENITY_OK=0", "ZENITY_CANCEL=" + std::to_string(kZenityCancelStatus), "ZENITY_ESC=" + closed,
          "ZENITY_EXTRA=" + closed},
         ZenityAnswer},
        {KdialogArguments, {}, KdialogAnswer},
    };
    bool utf8 = InheritsUTF8Locale();
    for (DialogProgram& program : programs) {
        if (!utf8)
            program.fEnvironment.push_back("LC_ALL=C.UTF-8");
        std::vector<std::string> arguments = program.fArguments(inAlert);
        int status = 0;
        std::string output;
        std::string errorOutput;
        bool wait = outAnswer != nullptr;
        int error = XPosixSpawn::Run(arguments, program.fEnvironment, wait ? &status : nullptr,
                                     wait ? &output : nullptr, wait ? &errorOutput : nullptr);
        if (error == ENOENT)
            continue; // not installed
        if (error != 0) {
            char buffer[256];
            ioFailures.push_back(arguments[0] +
                                 " could not be started: " + strerror_r(error, buffer, sizeof(buffer)));
            continue;
        }
        if (!wait || program.fAnswer(inAlert, status, output, *outAnswer))
            return true;
        ioFailures.push_back(DescribeFailure(arguments[0], status, errorOutput));
    }
    return false;
}

bool XPosixNotification::OpenWithDefaultApplication(const std::string& inPosixPath) {
    return XPosixSpawn::Run({"xdg-open", inPosixPath}, {}, nullptr, nullptr) == 0;
}

} // namespace vkit
