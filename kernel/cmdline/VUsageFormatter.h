// VUsageFormatter: the usage text of a parser's declarations: option columns, paragraphs, line breaking.
#pragma once

#include "text/VString.h"

namespace vkit {

class StOptionsInfos;

/// Lays out the usage text printed for the built-in help. Options are written in columns (names from
/// column 2, descriptions from column 24 after a lone short name, else column 29); long texts are broken
/// at spaces, full stops and line breaks, the break character itself being dropped.
class VUsageFormatter {
public:
    /// Break limit of option descriptions; descriptions of at most one more character stay whole.
    static constexpr VIndex kDescriptionLimit = 49;
    /// Column at which option descriptions start when they follow a long name.
    static constexpr VIndex kDescriptionColumn = 29;
    /// Break limit of paragraphs; paragraphs of at most this length stay whole.
    static constexpr VIndex kParagraphLimit = 79;

    /// With inColour, option names are green and paragraphs yellow (ANSI escape sequences).
    explicit VUsageFormatter(bool inColour) noexcept : fColour(inColour) {}

    /// Appends the whole usage text: the "Usage:" line, the entries that are not hidden in declaration
    /// order, then the built-in help entry unless a long option "help" is declared.
    void BuildUsage(const StOptionsInfos& inOptions, const VString& inProgramName, VString& ioText) const;

    /// Appends one option line (or lines) in the columns of the usage text.
    void AppendOption(UniChar inShortName, const VString& inLongName, const VString& inDescription,
                      bool inRequiresValue, VString& ioText) const;
    /// Appends one paragraph followed by a line feed; an empty text appends nothing.
    void AppendParagraph(const VString& inText, VString& ioText) const;

    /// Appends inText broken into lines of about inLimit characters: each line ends at the last break
    /// character (space, ".", carriage return, line feed, tab) within the limit, or at a line feed, and
    /// that character is replaced by a line feed and inIndent spaces. Ends with a line feed.
    static void BreakLines(const VString& inText, VIndex inLimit, VIndex inIndent, VString& ioText);

private:
    bool fColour;
};

} // namespace vkit
