// Argument: the converters from a command-line value text to each supported variable type.
#pragma once

#include "text/VString.h"

#include <vector>

namespace vkit {

class VCommandLineParser;
class VFile;
class VFilePath;
class VFolder;
class VJSONValue;

namespace Extension::CommandLineParser {

/// One Append per variable type: converts the value text of an option and stores it in the target.
/// Each returns true on success; on failure the target keeps its value (except where noted) and the
/// caller writes the invalid value message. No converter pushes an error.
class Argument {
public:
    Argument() = delete;

    /// "1" or "true" give true, "0" or "false" give false; the words are compared as the international
    /// settings compare texts, ignoring case and accents ("TRUE" is true). Anything else fails.
    static bool Append(VCommandLineParser& ioParser, bool& outValue, const VString& inText);

    // Integers. White space (C character classes) is removed at both ends; what remains must hold 1 to
    // 30 characters, each a decimal digit, "+" or "-", and is read with strtol, strtoul, strtoll or
    // strtoull in automatic base (a leading 0 means octal: "010" is 8, "08" fails, "0x10" fails). The
    // whole text must be read without overflow. Results are narrowed to the target's width.
    static bool Append(VCommandLineParser& ioParser, int& outValue, const VString& inText);
    static bool Append(VCommandLineParser& ioParser, unsigned int& outValue, const VString& inText);
    static bool Append(VCommandLineParser& ioParser, long long& outValue, const VString& inText);
    static bool Append(VCommandLineParser& ioParser, unsigned long long& outValue, const VString& inText);

    /// Assigns the text; never fails.
    static bool Append(VCommandLineParser& ioParser, VString& outValue, const VString& inText);
    /// Appends the text as a new last element; never fails.
    static bool Append(VCommandLineParser& ioParser, std::vector<VString>& ioValues, const VString& inText);

    /// An empty or null text clears the path. Otherwise the text is resolved against the disk (working
    /// folder, symbolic links); a resolved folder gets a folder path. A text that cannot be resolved is
    /// taken as a POSIX full path as it stands. Never fails.
    static bool Append(VFilePath& outPath, const VString& inText);
    /// The text resolved as for VFilePath; succeeds when it names an existing file (a link to one
    /// counts), ioFile then holding a new VFile of the resolved path. The previous file is released; on
    /// failure ioFile is null. (No file is an alias on Linux.)
    static bool Append(VFile*& ioFile, const VString& inText);
    /// The same for an existing folder and a new VFolder.
    static bool Append(VCommandLineParser& ioParser, VFolder*& ioFolder, const VString& inText);

    /// By the kind the target holds before the call: a string takes the text; an object or undefined
    /// takes the text parsed as JSON (failing on a parse error, whose errors are dropped: the parser
    /// reports the value); false or true take "1", "true" or "on" as true and "0", "false" or "off" as
    /// false (compared as for bool). Any other kind fails. The target keeps its value on failure.
    static bool Append(VCommandLineParser& ioParser, VJSONValue& ioValue, const VString& inText);
};

} // namespace Extension::CommandLineParser
} // namespace vkit
