// Fuzz target for the command line: arbitrary argument vectors parsed with the updater's declarations.
#include "VUpdaterOptions.h"
#include "cmdline/VCommandLineParser.h"
#include "fuzz/FuzzCheck.h"
#include "json/VJSONArray.h"
#include "json/VJSONImporter.h"
#include "json/VJSONValue.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

using namespace vkit;
using zq::VUpdaterOptions;

namespace {

constexpr size_t kMaxLength = 4096;
constexpr size_t kMaxArguments = 64;

using fuzzing::Check;

/// The program's path, then one argument per NUL-separated piece of the input.
std::vector<VString> SplitArguments(std::string_view inBytes) {
    std::vector<VString> arguments{VString("/Applications/Updater.app/Contents/MacOS/updater")};
    while (arguments.size() <= kMaxArguments) {
        size_t end = inBytes.find('\0');
        arguments.emplace_back(inBytes.substr(0, end));
        if (end == inBytes.npos)
            break;
        inBytes.remove_prefix(end + 1);
    }
    return arguments;
}

bool SameValues(const VUpdaterOptions& inA, const VUpdaterOptions& inB) {
    return inA.fCallerPid == inB.fCallerPid && inA.fSilent == inB.fSilent &&
           inA.fInstallPath == inB.fInstallPath && inA.fRestartParams == inB.fRestartParams &&
           inA.fCallerLog == inB.fCallerLog && inA.fLogDir == inB.fLogDir &&
           inA.fClientInfo == inB.fClientInfo && inA.fOutdatedApp == inB.fOutdatedApp &&
           inA.fUpToDateApp == inB.fUpToDateApp && inA.fPositional == inB.fPositional &&
           inA.fRestartHeadless == inB.fRestartHeadless && inA.fVersion == inB.fVersion;
}

/// Every positional value is one of the arguments, taken in order.
void CheckPositionalOrder(const std::vector<VString>& inArguments, const std::vector<VString>& inPositional) {
    size_t next = 1;
    for (const VString& value : inPositional) {
        while (next < inArguments.size() && !(inArguments[next] == value))
            ++next;
        Check(next < inArguments.size());
        ++next;
    }
}

/// The JSON description reads back with the very arguments it was made from.
void CheckJSONRoundTrip(const VCommandLineParser& inParser, const std::vector<VString>& inArguments) {
    VString json;
    inParser.ExportAsJSON(json);
    VJSONValue root;
    Check(VJSONImporter::ParseString(json, root) == 0);
    VJSONValue values = root.GetProperty(VString("arguments")).GetProperty(VString("values"));
    VJSONArray* array = values.GetArray();
    Check(array != nullptr && array->GetCount() == inArguments.size());
    for (size_t i = 0; i < inArguments.size(); ++i)
        Check((*array)[i].GetStringView() == inArguments[i].View());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* inData, size_t inSize) {
    if (inSize > kMaxLength)
        return 0;
    std::vector<VString> arguments =
        SplitArguments(std::string_view(reinterpret_cast<const char*>(inData), inSize));

    VUpdaterOptions options;
    VCommandLineParser parser(arguments);
    options.Declare(parser);
    int result = parser.Parse();
    Check(result == VCommandLineParser::kParseSuccess || result == VCommandLineParser::kParseError ||
          result == VCommandLineParser::kParseHelpShown);
    Check(options.fPositional.size() < arguments.size());
    CheckPositionalOrder(arguments, options.fPositional);

    // A second parse of the same arguments answers and stores the same.
    VUpdaterOptions again;
    VCommandLineParser second(arguments);
    again.Declare(second);
    Check(second.Parse() == result);
    Check(SameValues(options, again));

    if (result == VCommandLineParser::kParseSuccess && !options.fVersion) {
        int reconciled = options.Reconcile();
        Check(reconciled == 0 || reconciled == 1);
        if (reconciled == 0)
            Check(!options.fOutdatedApp.IsEmpty() && !options.fUpToDateApp.IsEmpty());
    }
    CheckJSONRoundTrip(parser, arguments);
    VString page;
    parser.ExportAsManPage(page);
    return 0;
}
