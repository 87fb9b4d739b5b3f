// Helpers of the command-line tests: argument vectors, parses with their standard streams captured, and
// a program's declarations of every shape.
#pragma once

#include "cmdline/VCommandLineParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vkit::testing {

/// An argument vector: "prog" followed by the given arguments.
inline std::vector<VString> Arguments(const std::vector<const char*>& inArguments) {
    std::vector<VString> arguments{VString("prog")};
    for (const char* argument : inArguments)
        arguments.emplace_back(argument);
    return arguments;
}

/// The result of a parse and what it wrote on standard output and standard error.
struct CapturedParse {
    int fResult;
    std::string fOut;
    std::string fErr;
};

inline CapturedParse ParseCapturing(VCommandLineParser& ioParser) {
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    int result = ioParser.Parse();
    std::string err = ::testing::internal::GetCapturedStderr();
    return {result, ::testing::internal::GetCapturedStdout(), err};
}

/// What a program declares, entries of every shape, and the variables they fill.
struct DeclaredOptions {
    int fPid = -1;
    bool fSilent = false;
    VString fName{"?"};
    bool fX = false;
    VString fY;
    unsigned int fCount = 0;
    std::vector<VString> fPositional;

    void Declare(VCommandLineParser& ioParser, bool inWithPositional = true) {
        ioParser.AddParagraph(VString("Options of\tthe updater:"));
        ioParser.AddOption(u' ', VString("pid"), &fPid, VString("Wait for\tthe caller's pid"), true);
        ioParser.AddOption(u' ', VString("silent"), &fSilent, VString("No \"message\""), false);
        ioParser.AddOption(u'n', VString("name"), &fName, VString("A name"), true);
        ioParser.AddOption(u'x', VString(), &fX, VString("Flag x"), false);
        ioParser.AddOption(u'y', VString(), &fY, VString("Value y"), true);
        ioParser.AddParagraph(VString("\nMore \"help\":\n"));
        ioParser.AddOption(u'c', VString("count"), &fCount, VString("Count"), true);
        ioParser.AddOption(u' ', VString("secret"), &fPid, VString("Hidden"), true);
        ioParser.GetOptions().GetEntries().back()->SetHidden(true);
        if (inWithPositional)
            ioParser.SetPositionalArguments(&fPositional);
    }
};

} // namespace vkit::testing
