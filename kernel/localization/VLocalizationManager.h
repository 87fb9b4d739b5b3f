// VLocalizationManager: the localization store: translated texts from XLIFF and strings files.
#pragma once

#include "errors/ILocalizer.h"
#include "files/VFilePath.h"
#include "localization/VXMLParser.h"
#include "runtime/VCriticalSection.h"
#include "text/IRefCountable.h"
#include "text/VIntlMgr.h"
#include "text/VObject.h"
#include "text/VString.h"
#include "text/VTime.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace vkit {

class VFile;
class VFolder;
class VLocalizationXMLHandler;
class VValueBag;

/// A file the store does not read (neither XLIFF nor strings).
constexpr VError VE_LOCALIZATION_UNSUPPORTED_FILE = MakeVError(kComponentVkit, 613);

/// A string-list code: list id and item index, compared list id first.
struct STRSharpCodes {
    uint32_t fID = 0;
    uint32_t fIndex = 0;
    bool operator<(const STRSharpCodes& inOther) const noexcept {
        return fID != inOther.fID ? fID < inOther.fID : fIndex < inOther.fIndex;
    }
};

/// Orders texts by their code units.
struct VStringRawLess {
    bool operator()(const VString& inA, const VString& inB) const noexcept { return inA.View() < inB.View(); }
};

/// Orders texts by the current international comparison (accents and case ignored).
struct VStringIntlLess {
    bool operator()(const VString& inA, const VString& inB) const { return inA.CompareToString(inB) < 0; }
};

/// The translated texts of one language, loaded from the XLIFF files (".xlf") and strings files of a
/// program's "Resources" folder and of its ".lproj" folders for the language. Texts are found by key,
/// by string-list code or by group; error texts are found under "ERR_<signature>_<number>"; the
/// attribute bags of resource groups are kept by name and by type.
///
/// An XLIFF file is read when its "target-language" matches the store's language (same language; a
/// file of the exact dialect replaces texts loaded before, one of another dialect only adds new keys),
/// or whatever its language when it lies in the "Resources" folder itself. Units are skipped by the
/// platform conditions "qz:includeIf" and "qz:excludeIf", whose platform word here is "linux".
///
/// Loading runs on one task before the store is published; lookups and clearing hold the store's
/// critical section and may come from any task. A store told to ParseOnFirstUse reads its files as they
/// are loaded but parses them in the first lookup.
class VLocalizationManager : public VObject, public IRefCountable, public ILocalizer {
public:
    /// An empty store for a dialect.
    explicit VLocalizationManager(DialectCode inLanguage);
    VLocalizationManager(const VLocalizationManager&) = delete;
    VLocalizationManager& operator=(const VLocalizationManager&) = delete;

    // Loading.
    /// Loads from the bundle folder's "Contents/Resources" (see LoadDefaultLocalizationFolders); false
    /// for a null or missing folder.
    bool LoadDefaultLocalizationFoldersForComponentOrPlugin(const VFolder* inBundleFolder);
    /// Scans the resources folder whatever the files' language, then the folders of the store's
    /// language found in it (GetLocalizationFoldersWithDialect); true when one of those was scanned
    /// without error.
    bool LoadDefaultLocalizationFolders(const VFolder* inResourcesFolder);
    /// Loads every file of a folder (not its sub-folders, in name order) and remembers the folder.
    /// Answers VE_INVALID_PARAMETER for a null folder, VE_FILE_NOT_FOUND for a missing one.
    [[nodiscard]] VError ScanAndLoadFolder(const VFolder* inFolder, bool inAvoidLanguageChecking);
    /// Loads one file and remembers it. Answers VE_INVALID_PARAMETER (null), VE_FILE_NOT_FOUND
    /// (missing), VE_LOCALIZATION_UNSUPPORTED_FILE (neither ".xlf" nor ".strings"; a strings file is
    /// read and answers it too); XML errors are pushed, not answered, and the texts read before them
    /// stay.
    [[nodiscard]] VError LoadFile(const VFile* inFile, bool inAvoidLanguageChecking);
    /// Loads an XLIFF document held in memory, named inName in errors. Answers VE_OK; XML errors are
    /// pushed.
    [[nodiscard]] VError LoadXLIFFData(const void* inBytes, size_t inSize, const VString& inName,
                                       bool inAvoidLanguageChecking);
    /// From now on, a file loaded is read at once (so that what the lookups find does not depend on
    /// what becomes of the files later), but its texts are parsed into the tables by the first call
    /// that reads or clears them, in the order the files were loaded: the lookups answer what they
    /// would have answered, and what the parse would have pushed is dropped. For a program that asks
    /// for texts only when something fails, which then alone loads the XML parser.
    void ParseOnFirstUse();
    /// Empties every table (the loaded paths and times stay).
    void ClearLocalizations();
    /// True when a loaded XLIFF file changed or disappeared, or a scanned folder holds a new one.
    bool DoesNeedAnUpdate();
    /// When DoesNeedAnUpdate: empties the tables and loads every remembered file and folder again.
    bool UpdateIfNeeded();

    // Lookups.
    DialectCode GetLocalizationLanguage() const override { return fLanguage; }
    bool LocalizeStringWithKey(const VString& inKey, VString& outText) override;
    bool LocalizeStringWithDotStringsKey(const VString& inKey, VString& outText) override;
    bool LocalizeStringWithSTRSharpCodes(const STRSharpCodes& inCodes, VString& outText);
    /// The texts of a group in increasing item id; false (and outTexts empty) when none.
    bool GetOrderedStringsOfGroup(const VString& inGroupName, std::vector<VString>& outTexts);
    /// The texts (inListID, 1), (inListID, 2) ... up to the first missing index; false when none.
    bool LocalizeGroupOfStringsWithAStrSharpID(uint32_t inListID, std::vector<VString>& outTexts);
    /// The text of the key "ERR_<four signature characters>_<number>", cut to 15 characters.
    bool LocalizeErrorMessage(VError inError, VString& outMessage) override;
    VValueBag* RetainGroupBag(const VString& inResourceName) override;
    /// Appends every group bag of a resource type (retained), in the order they were loaded.
    void RetainGroupBagsByRestype(const VString& inResourceType, std::vector<VValueBag*>& outBags);

    /// The localization folders of a dialect that exist in inResourcesFolder, in the order of
    /// VIntlMgr::GetLocalizationFolderNames, retained for the caller.
    static void GetLocalizationFoldersWithDialect(DialectCode inDialect, const VFolder& inResourcesFolder,
                                                  std::vector<VFolder*>& outFolders);

    // Filling, for the XLIFF handlers. Inserting adds a missing key; an existing key takes the new
    // text only with inReplace. Group texts always take the new text.
    void InsertSTRSharpString(const STRSharpCodes& inCodes, const VString& inText, bool inReplace);
    void InsertKeyString(const VString& inKey, const VString& inText, bool inReplace);
    void InsertGroupString(const VString& inGroupName, uint32_t inItemID, const VString& inText);
    /// Keeps the bag (retained) under its type, and under its name unless one is kept there already.
    void InsertGroupBag(const VString& inResourceName, const VString& inResourceType, VValueBag* inBag);

protected:
    ~VLocalizationManager() override;

private:
    /// A file's content read but not yet parsed.
    struct PendingText {
        std::string fBytes;
        VString fName;
        bool fAvoidLanguageChecking = false;
        bool fIsStrings = false;
    };

    [[nodiscard]] VError _LoadFile(const VFile* inFile, bool inFromScan, bool inAvoidLanguageChecking);
    void _LoadXLIFFFile(const VFile& inFile, bool inAvoidLanguageChecking);
    void _LoadStringsFile(const VFile& inFile);
    void _ParseXLIFFData(const void* inBytes, size_t inSize, const VString& inName,
                         bool inAvoidLanguageChecking);
    void _ParseStringsData(const void* inBytes, size_t inSize);
    /// Parses the texts waiting, when ParseOnFirstUse holds some back; every lookup calls it first.
    void _ParsePendingTexts();
    void _RememberPath(const VFilePath& inPath);
    void _ClearBags();

    mutable VCriticalSection fLock;
    const DialectCode fLanguage;
    std::map<STRSharpCodes, VString> fSTRSharpTable;
    std::map<VString, VString, VStringRawLess> fKeyTable;
    std::map<VString, std::map<uint32_t, VString>, VStringRawLess> fGroupTable;
    std::map<VString, VString, VStringRawLess> fDotStringsTable;
    std::map<VString, VValueBag*, VStringIntlLess> fGroupBagsByName;     // retained
    std::multimap<VString, VValueBag*, VStringRawLess> fGroupBagsByType; // retained
    std::vector<VFilePath> fLoadedPaths;
    std::map<VString, VTime, VStringRawLess> fModificationTimes; // by native path
    std::vector<VFolder*> fLocalizationFolders;                  // retained
    VXMLParser fParser;
    VLocalizationXMLHandler* fRootHandler;
    bool fParseOnFirstUse = false;
    std::vector<PendingText> fPendingTexts; // under fLock
    std::atomic<bool> fHasPendingTexts{false};
};

/// The localized text of inKey from the process localizer; inDefault (UTF-8) when it has none, or an
/// empty text without a default.
VString LocalizeString(const VString& inKey, const char* inDefault);

} // namespace vkit
