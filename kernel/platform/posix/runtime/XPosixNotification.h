// XPosixNotification: the alert shown by a dialog program of the Linux desktop (zenity, else kdialog),
// and the opening of a file in the user's default application (xdg-open).
#pragma once

#include <string>
#include <vector>

namespace vkit {

class XPosixNotification {
public:
    XPosixNotification() = delete;

    /// A button: its label (empty: no such button) and the answer it gives.
    struct Button {
        std::string fLabel;
        int fAnswer = 0;
    };

    /// The level of an alert, which chooses its icon.
    enum class Level { kPlain, kCaution, kError };

    /// An alert as the dialog programs show it: buttons in three places (the affirmative one, the
    /// negative one and an extra one), texts in UTF-8.
    struct Alert {
        /// The window's title; empty leaves the program's own.
        std::string fWindowTitle;
        std::string fText;
        Button fAffirmative;
        Button fNegative;
        Button fExtra;
        /// The negative button is the default one.
        bool fDefaultNegative = false;
        Level fLevel = Level::kPlain;
        /// The answer of a dialog closed without a button.
        int fDismissedAnswer = 0;
    };

    /// Shows the alert with zenity, else kdialog, found on PATH; the dialog gets a UTF-8 locale when the
    /// inherited one is not (a program of the C locale refuses text beyond ASCII). With outAnswer the
    /// call waits for the answer; without it the dialog is left running. True when a program showed the
    /// alert. Each program that was found but failed adds a line to ioFailures: its name, its exit status
    /// and what it wrote on standard error.
    static bool Show(const Alert& inAlert, int* outAnswer, std::vector<std::string>& ioFailures);

    /// Starts xdg-open on the file, not waited for. False when it cannot be started.
    static bool OpenWithDefaultApplication(const std::string& inPosixPath);
};

} // namespace vkit
