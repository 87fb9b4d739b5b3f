// XPosixPlistReader: reads the top-level dictionary of an XML property list with the expat parser.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace vkit {

/// Reads an XML property list, "<plist><dict><key>K</key><string>V</string>...</dict></plist>", into
/// the key/value pairs of its top-level dictionary, in file order, as UTF-8. Values of the kinds string,
/// integer, real, date and data are kept as their text, exactly as written; true and false become "true"
/// and "false"; arrays and nested dictionaries are skipped with their key. A key given twice keeps its
/// last value.
///
/// Every program of a bundle reads a property list as it starts (the main bundle's, and the opener the
/// bundle it restarts), so the reader is expat: loading it and reading an Info.plist take about 0.15 ms of
/// CPU, where Xerces-C and the libraries it brings take about 10 ms.
/// The parser never reads anything but the given text: external DTDs (property lists name one) and
/// external entities are not loaded, and entity expansion is limited.
class XPosixPlistReader {
public:
    using Entries = std::vector<std::pair<std::string, std::string>>;

    /// Why a read failed: the errno of the failing system call (0 when the content is not a usable
    /// property list) and the reason as text (the system's message, or where and why the content is
    /// wrong: "line 3, column 9: ...").
    struct Failure {
        int fErrno = 0;
        std::string fMessage;
    };

    /// Files above this size are refused as not being property lists of a bundle.
    static constexpr size_t kMaxFileSize = 4 * 1024 * 1024;

    XPosixPlistReader() = delete;

    /// Reads the file at inPosixPath (UTF-8). Returns false, outEntries emptied and outFailure filled,
    /// when the file cannot be read or its content is not a property list holding a dictionary.
    static bool ReadFile(const std::string& inPosixPath, Entries& outEntries, Failure& outFailure);

    /// The same for a property list held in memory.
    static bool Parse(const char* inBytes, size_t inLength, Entries& outEntries, Failure& outFailure);
};

} // namespace vkit
