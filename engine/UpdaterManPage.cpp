// The build's manual page tool: writes updater.1 around the options section made from the option table.
#include "VUpdaterOptions.h"

#include "cmdline/VCommandLineParser.h"

#include <cstdio>
#include <string>
#include <vector>

using vkit::VCommandLineParser;
using vkit::VString;
using zq::VUpdaterOptions;

namespace {

/// The page around the options section; %s is the version.
constexpr const char* kHeader =
    ".TH UPDATER 1 \"\" \"ZQ Updater %s\" \"User Commands\"\n"
    ".SH NAME\n"
    "updater \\- install a newer version of a ZQ application in place of the running one\n"
    ".SH SYNOPSIS\n"
    ".B updater\n"
    "[\\fIOPTION\\fR]... \\fIdest\\fR \\fIsrc\\fR\n"
    ".br\n"
    ".B updater\n"
    "\\fB\\-\\-recover\\fR [\\fB\\-\\-log\\-dir\\fR \\fIDIR\\fR] [\\fB\\-\\-silent\\fR]\n"
    ".SH DESCRIPTION\n"
    "Copies the up-to-date bundle \\fIsrc\\fR beside the application bundle \\fIdest\\fR "
    "while the calling process still runs, then, once it has ended, exchanges the two in one step, "
    "restarts the application and moves the outdated bundle to the trash. Each step is recorded "
    "first in a journal in \\fI$XDG_STATE_HOME/zq-updater\\fR (else "
    "\\fI~/.local/state/zq-updater\\fR); every start of the updater, and "
    "\\fB\\-\\-recover\\fR alone, completes or undoes the updates a stopped run left "
    "unfinished, so that \\fIdest\\fR always holds one complete bundle.\n"
    ".PP\n"
    "With \\fB\\-\\-verify\\-launch\\fR \\fISECONDS\\fR, the restarted application is watched for "
    "that long. When it quits within that time with a non-zero status or by a signal, or cannot be "
    "started, the previous version is put back at \\fIdest\\fR in one exchange, the new one is kept "
    "beside it under the first free name \\fINAME\\fR_failed0001 (for \\fINAME\\fR.app: "
    "\\fINAME\\fR_failed0001.app), the previous version is restarted and watched the same way, and the "
    "updater exits with status 2, saying how the new version ended and where both bundles are. The "
    "outdated bundle goes to the trash only once the application passed.\n";

constexpr const char* kFooter = ".SH EXIT STATUS\n"
                                "0 when the update (or, with --recover, the recovery) succeeded or the "
                                "version or help was printed, 1 when the command line or the "
                                "initialization failed, 2 when the update failed or something could not "
                                "be recovered.\n";

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <version> <output file>\n", argv[0]);
        return 1;
    }
    // A parser declares options only for an argument vector holding more than the program's path.
    std::vector<VString> arguments{VString("updater"), VString()};
    VCommandLineParser parser(arguments);
    VUpdaterOptions options;
    options.Declare(parser);
    VString optionsSection;
    parser.ExportAsManPage(optionsSection);

    std::string page(std::snprintf(nullptr, 0, kHeader, argv[1]), '\0');
    std::snprintf(page.data(), page.size() + 1, kHeader, argv[1]);
    optionsSection.AppendToUTF8(page);
    page += kFooter;

    FILE* output = std::fopen(argv[2], "w");
    if (output == nullptr) {
        std::perror(argv[2]);
        return 1;
    }
    bool written = std::fwrite(page.data(), 1, page.size(), output) == page.size();
    if (std::fclose(output) != 0 || !written) {
        std::perror(argv[2]);
        return 1;
    }
    return 0;
}
