// VOptionsExporter: the JSON description and the manual-page options section of a parser's declarations.
#pragma once

#include "text/VString.h"

namespace vkit {

class StOptionsInfos;

/// Writes a parser's arguments and declarations for programs that publish their options.
class VOptionsExporter {
public:
    VOptionsExporter() = delete;

    /// Appends the JSON description: "arguments" (count and every argument, the program's path first)
    /// and "options" (count and every declared entry, hidden ones included), indented with tabs.
    static void AppendJSON(const StOptionsInfos& inOptions, VString& ioText);
    /// Appends the troff ".SH OPTIONS" section: one ".TP" entry per option that is not hidden, and the
    /// paragraphs after the first written entry as ".SS" subsections.
    static void AppendManPage(const StOptionsInfos& inOptions, VString& ioText);
    /// Appends inText as the content of a JSON string (without the quotes): quote, backslash and the
    /// control characters escaped as the JSON writer escapes them.
    static void AppendJSONStringContent(const VString& inText, VString& ioText);
};

} // namespace vkit
