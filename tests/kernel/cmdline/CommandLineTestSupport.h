// Helpers of the command-line tests: argument vectors and parses with their standard streams captured.
#pragma once

#include "cmdline/VCommandLineParser.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace vkit::testing {

/// An argument vector: "prog" followed by the given arguments.
inline std::vector<VString> Arguments(std::initializer_list<const char*> inArguments) {
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
    std::string out = ::testing::internal::GetCapturedStdout();
    return {result, out, err};
}

/// The UTF-8 form of a text, for readable comparisons.
inline std::string UTF8(const VString& inText) {
    return inText.ToUTF8();
}

} // namespace vkit::testing
