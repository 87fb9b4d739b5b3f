// StOptionsInfos: the option set of a command-line parser: declared entries, name indexes, flags.
#pragma once

#include "cmdline/VOptionBase.h"
#include "text/VString.h"

#include <memory>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vkit {

/// The declarations of one VCommandLineParser and the argument vector they apply to. It owns every
/// declared entry and the positional receiver.
class StOptionsInfos {
public:
    using VOptionBase = Private::CommandLineParser::VOptionBase;
    /// An index entry: the option and whether it takes a value.
    using IndexEntry = std::pair<VOptionBase*, bool>;

    /// Keeps a reference to the arguments (element 0 is the program's path), which must outlive the set.
    explicit StOptionsInfos(const std::vector<VString>& inArguments);
    ~StOptionsInfos();
    StOptionsInfos(const StOptionsInfos&) = delete;
    StOptionsInfos& operator=(const StOptionsInfos&) = delete;

    /// Takes ownership of the option, indexes its short name (unless 0 or the space character) and its
    /// long name (unless empty) and appends it to the declared entries. A name declared again replaces the
    /// earlier index entry; the earlier option stays declared.
    void RegisterOption(bool inRequiresValue, VOptionBase* inOption);
    /// Appends a paragraph of help text (not indexed), when paragraphs are enabled.
    void AddParagraph(VString inText);
    /// Installs the receiver of the arguments that are not options, deleting the previous one.
    void SetPositionalReceiver(VOptionBase* inReceiver);
    /// Deletes every declared entry and the positional receiver and empties both indexes.
    void Clear();

    /// The option of a short name or a long name; null when none is declared.
    const IndexEntry* FindShort(UniChar inName) const;
    const IndexEntry* FindLong(std::u16string_view inName) const;

    /// Writes the usage text for inProgramName to standard output, with colour when it is a terminal.
    void HelpUsage(const VString& inProgramName) const;

    const std::vector<VString>& GetArguments() const noexcept { return fArguments; }
    const std::vector<std::unique_ptr<VOptionBase>>& GetEntries() const noexcept { return fEntries; }
    VOptionBase* GetPositionalReceiver() const noexcept { return fPositional.get(); }

    /// Whether the argument vector holds more than the program's path (set at construction).
    bool HasArguments() const noexcept { return fHasArguments; }
    /// Whether AddParagraph declares anything (true at construction).
    bool ParagraphsEnabled() const noexcept { return fParagraphsEnabled; }
    void SetParagraphsEnabled(bool inEnabled) noexcept { fParagraphsEnabled = inEnabled; }
    /// Whether a value "-" stands for the whole of standard input (false at construction).
    bool ReadsStandardInput() const noexcept { return fReadsStandardInput; }
    void SetReadsStandardInput(bool inReads) noexcept { fReadsStandardInput = inReads; }

private:
    std::unordered_map<UniChar, IndexEntry> fShortIndex;
    /// Keys view the long names of the declared options, which live as long as the index entries.
    std::unordered_map<std::u16string_view, IndexEntry> fLongIndex;
    std::unique_ptr<VOptionBase> fPositional;
    std::vector<std::unique_ptr<VOptionBase>> fEntries;
    const std::vector<VString>& fArguments;
    bool fHasArguments;
    bool fParagraphsEnabled = true;
    bool fReadsStandardInput = false;
};

} // namespace vkit
