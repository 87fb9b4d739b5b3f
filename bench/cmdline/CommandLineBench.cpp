// Benchmarks of the command-line parser, each beside a standard-library baseline doing the same work.
#include "VUpdaterOptions.h"
#include "cmdline/Argument.h"
#include "cmdline/VCommandLineParser.h"

#include <benchmark/benchmark.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

using namespace vkit;
using zq::VUpdaterOptions;

namespace {

/// The command line of a typical update.
const std::vector<std::string> kCommandLine{
    "updater", "--pid", "812", "--caller-log", "1", "--log-dir", "/L", "/Applications/A.app", "/tmp/B.app"};

// Declaring the updater's options and parsing a typical command line: the library against a parser of
// the same table (names, help texts and paragraphs in std::string, std::function setters, strtol) that
// has no messages, no bundles of letters and no value search past options.

void BM_Parse_VCommandLineParser(benchmark::State& state) {
    std::vector<VString> arguments(kCommandLine.begin(), kCommandLine.end());
    for (auto _ : state) {
        VUpdaterOptions options;
        VCommandLineParser parser(arguments);
        options.Declare(parser);
        benchmark::DoNotOptimize(parser.Parse());
        benchmark::DoNotOptimize(options.fCallerPid);
    }
}
BENCHMARK(BM_Parse_VCommandLineParser);

struct StdOptions {
    long fPid = -1;
    bool fSilent = false;
    bool fHeadless = false;
    bool fVersion = false;
    std::string fInstallPath, fRestartParams, fCallerLog, fLogDir, fClientInfo, fOutdated, fUpToDate;
    std::vector<std::string> fPositional;
};

/// One option of the baseline: its setter, whether it takes a value, and its help text.
struct StdOption {
    std::function<bool(const std::string&)> fSet;
    bool fRequiresValue;
    std::string fDescription;
};

int ParseWithStd(const std::vector<std::string>& inArguments, StdOptions& ioOptions) {
    auto text = [](std::string& outTarget) {
        return [&outTarget](const std::string& inValue) {
            outTarget = inValue;
            return true;
        };
    };
    auto flag = [](bool& outTarget) { return [&outTarget](const std::string&) { return outTarget = true; }; };
    std::vector<std::string> paragraphs{
        "\nZQ Updater\n\t\tUpdates an existing ZQ application residing at <path of app to "
        "update> using \t\tnewer versions tored <path of update>\n\n",
        "\nHelp:\n"};
    std::unordered_map<std::string, StdOption> table{
        {"pid",
         {[&](const std::string& inValue) {
              char* end = nullptr;
              errno = 0;
              ioOptions.fPid = std::strtol(inValue.c_str(), &end, 0);
              return *end == 0 && errno != ERANGE;
          },
          true, "Wait for the caller's pid"}},
        {"silent",
         {flag(ioOptions.fSilent), false,
          "ensure that no message is displayed in case of error. Errors are still logged though"}},
        {"install-path",
         {text(ioOptions.fInstallPath), true,
          "indicates where the updated app should be installed instead of <path of app to update>."}},
        {"restart-params",
         {text(ioOptions.fRestartParams), true,
          "indicates the full path to the ZQLink \t\tfile that will be passed back to the restarted "
          "application. "
          "This does not \t\tapply if the application is started as a service"}},
        {"caller-log", {text(ioOptions.fCallerLog), true, "Restart params"}},
        {"log-dir",
         {text(ioOptions.fLogDir), true,
          "specifies a folder for the updater where log file should be written"}},
        {"client-info",
         {text(ioOptions.fClientInfo), true,
          "path of the client customization file. Using this \t\toption IMPLIES that application is a "
          "ZQ-based "
          "client, which incurs special processing."}},
        {"outdated-app", {text(ioOptions.fOutdated), true, "Outdated application bundle path"}},
        {"uptodate-app", {text(ioOptions.fUpToDate), true, "Up-to-date application bundle path"}},
        {"restart-headless", {flag(ioOptions.fHeadless), false, "Restart the application in headless mode."}},
        {"version", {flag(ioOptions.fVersion), false, "Print the version and exits"}},
    };
    benchmark::DoNotOptimize(paragraphs.data());
    for (size_t i = 1; i < inArguments.size(); ++i) {
        const std::string& argument = inArguments[i];
        if (argument.size() < 2 || argument.compare(0, 2, "--") != 0) {
            ioOptions.fPositional.push_back(argument);
            continue;
        }
        auto found = table.find(argument.substr(2));
        if (found == table.end())
            return 1;
        if (!found->second.fRequiresValue) {
            found->second.fSet(std::string());
            continue;
        }
        if (++i == inArguments.size() || !found->second.fSet(inArguments[i]))
            return 1;
    }
    return 0;
}

void BM_Parse_StdBaseline(benchmark::State& state) {
    for (auto _ : state) {
        StdOptions options;
        benchmark::DoNotOptimize(ParseWithStd(kCommandLine, options));
        benchmark::DoNotOptimize(options.fPid);
    }
}
BENCHMARK(BM_Parse_StdBaseline);

// One integer value: the converter (trim, character check, strtol, overflow check) against strtol alone.

void BM_Integer_Argument(benchmark::State& state) {
    std::vector<VString> arguments{VString("updater"), VString()};
    VCommandLineParser parser(arguments);
    VString text(" 123456 ");
    int value = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Extension::CommandLineParser::Argument::Append(parser, value, text));
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_Integer_Argument);

void BM_Integer_Strtol(benchmark::State& state) {
    std::string text(" 123456 ");
    for (auto _ : state) {
        char* end = nullptr;
        errno = 0;
        long value = std::strtol(text.c_str(), &end, 0);
        benchmark::DoNotOptimize(value);
        benchmark::DoNotOptimize(end);
    }
}
BENCHMARK(BM_Integer_Strtol);

// The manual-page section of the updater's options (UTF-16 text) against the same section put together
// in a std::string from a table of the same entries.

void BM_ManPage_VCommandLineParser(benchmark::State& state) {
    std::vector<VString> arguments{VString("updater"), VString()};
    VCommandLineParser parser(arguments);
    VUpdaterOptions options;
    options.Declare(parser);
    VString page;
    for (auto _ : state) {
        page.Clear();
        parser.ExportAsManPage(page);
        benchmark::DoNotOptimize(page.GetCPointer());
    }
}
BENCHMARK(BM_ManPage_VCommandLineParser);

void BM_ManPage_StdString(benchmark::State& state) {
    struct Entry {
        std::string fName;
        bool fRequiresValue;
        std::string fDescription;
    };
    std::vector<Entry> entries;
    {
        std::vector<VString> arguments{VString("updater"), VString()};
        VCommandLineParser parser(arguments);
        VUpdaterOptions options;
        options.Declare(parser);
        for (const auto& entry : parser.GetOptions().GetEntries())
            entries.push_back(
                {entry->GetLongName().ToUTF8(), entry->RequiresValue(), entry->GetDescription().ToUTF8()});
    }
    std::string page;
    auto appendFiltered = [&page](const std::string& inText) {
        for (char c : inText) {
            if (c != '\n' && c != '\t')
                page.push_back(c);
        }
    };
    for (auto _ : state) {
        page = ".SH OPTIONS\n";
        bool wrote = false;
        for (const Entry& entry : entries) {
            if (entry.fName.empty()) {
                if (wrote) {
                    page.append(".SS \"");
                    appendFiltered(entry.fDescription);
                    page.append("\"\n");
                }
                continue;
            }
            page.append(".TP\n.BR \\-\\-").append(entry.fName);
            if (entry.fRequiresValue)
                page.append("=\\fIVALUE\\fR");
            page.push_back('\n');
            appendFiltered(entry.fDescription);
            page.push_back('\n');
            wrote = true;
        }
        benchmark::DoNotOptimize(page.data());
    }
}
BENCHMARK(BM_ManPage_StdString);

} // namespace

BENCHMARK_MAIN();
