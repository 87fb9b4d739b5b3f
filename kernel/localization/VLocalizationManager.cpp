// VLocalizationManager: loading folders and files, the tables and their lookups, updates.
#include "localization/VLocalizationManager.h"

#include "bags/VValueBag.h"
#include "errors/StErrorContextInstaller.h"
#include "files/VFile.h"
#include "files/VFileErrorCodes.h"
#include "files/VFileIterator.h"
#include "files/VFolder.h"
#include "files/VMemoryBuffer.h"
#include "localization/VLocalizationXMLHandler.h"
#include "runtime/StLocker.h"
#include "runtime/VProcess.h"

#include <algorithm>

namespace vkit {

namespace {

/// XLIFF texts are parsed without validation.
constexpr uint32_t kXLIFFParseOptions = VXMLParser::kValidateNever;
/// Error keys are cut to this many characters.
constexpr VIndex kMaxErrorKeyLength = 15;

bool IsXLIFF(const VFilePath& inPath) {
    return inPath.MatchExtension(VString("xlf"));
}

/// The files of a folder, in name order (the directory's own order differs between file systems).
std::vector<VFilePath> ListFiles(const VFolder& inFolder) {
    std::vector<VFilePath> files;
    for (VFileIterator it(&inFolder, kIterateFiles); it.IsValid(); ++it)
        files.push_back(it->GetPath());
    std::sort(files.begin(), files.end(), [](const VFilePath& inA, const VFilePath& inB) {
        return inA.GetPath().View() < inB.GetPath().View();
    });
    return files;
}

template <class Map>
bool CopyText(const Map& inMap, const typename Map::key_type& inKey, VString& outText) {
    auto found = inMap.find(inKey);
    if (found == inMap.end())
        return false;
    outText = found->second;
    return true;
}

} // namespace

VLocalizationManager::VLocalizationManager(DialectCode inLanguage)
    : fLanguage(inLanguage), fRootHandler(nullptr) {
    // The XML parser is loaded by the first parse, not here.
    fRootHandler = new VLocalizationXMLHandler(*this);
}

VLocalizationManager::~VLocalizationManager() {
    _ClearBags();
    for (VFolder* folder : fLocalizationFolders)
        folder->Release();
    fRootHandler->Release();
}

// Loading.

bool VLocalizationManager::LoadDefaultLocalizationFoldersForComponentOrPlugin(const VFolder* inBundleFolder) {
    if (inBundleFolder == nullptr || !inBundleFolder->Exists())
        return false;
    VFilePath resources(inBundleFolder->GetPath());
    resources.ToSubFolder(VString("Contents")).ToSubFolder(VString("Resources"));
    VFolder folder(resources);
    return LoadDefaultLocalizationFolders(&folder);
}

bool VLocalizationManager::LoadDefaultLocalizationFolders(const VFolder* inResourcesFolder) {
    if (inResourcesFolder == nullptr)
        return false;
    // Files in the resources folder itself apply to every language.
    (void)ScanAndLoadFolder(inResourcesFolder, true);
    for (VFolder* folder : fLocalizationFolders)
        folder->Release();
    fLocalizationFolders.clear();
    GetLocalizationFoldersWithDialect(fLanguage, *inResourcesFolder, fLocalizationFolders);
    bool loaded = false;
    for (const VFolder* folder : fLocalizationFolders)
        loaded = ScanAndLoadFolder(folder, false) == VE_OK || loaded;
    return loaded;
}

void VLocalizationManager::GetLocalizationFoldersWithDialect(DialectCode inDialect,
                                                             const VFolder& inResourcesFolder,
                                                             std::vector<VFolder*>& outFolders) {
    std::vector<VString> names;
    VIntlMgr::GetLocalizationFolderNames(inDialect, names);
    for (const VString& name : names) {
        VFilePath path(inResourcesFolder.GetPath());
        VFolder* folder = new VFolder(path.ToSubFolder(name));
        if (folder->Exists())
            outFolders.push_back(folder);
        else
            folder->Release();
    }
}

VError VLocalizationManager::ScanAndLoadFolder(const VFolder* inFolder, bool inAvoidLanguageChecking) {
    if (inFolder == nullptr)
        return VE_INVALID_PARAMETER;
    if (!inFolder->Exists())
        return VE_FILE_NOT_FOUND;
    for (const VFilePath& path : ListFiles(*inFolder)) {
        VFile file(path);
        (void)_LoadFile(&file, true, inAvoidLanguageChecking); // a file that is not loaded stops nothing
    }
    _RememberPath(inFolder->GetPath());
    return VE_OK;
}

VError VLocalizationManager::LoadFile(const VFile* inFile, bool inAvoidLanguageChecking) {
    return _LoadFile(inFile, false, inAvoidLanguageChecking);
}

VError VLocalizationManager::_LoadFile(const VFile* inFile, bool inFromScan, bool inAvoidLanguageChecking) {
    if (inFile == nullptr)
        return VE_INVALID_PARAMETER;
    if (!inFile->Exists())
        return VE_FILE_NOT_FOUND;
    const VFilePath& path = inFile->GetPath();
    if (!IsXLIFF(path)) {
        if (path.MatchExtension(VString("strings")))
            _LoadStringsFile(*inFile);
        return VE_LOCALIZATION_UNSUPPORTED_FILE;
    }
    VMemoryBuffer content;
    {
        // A file that cannot be read is skipped without a word.
        StErrorContextInstaller silent(false, true);
        if (inFile->GetContent(content) != VE_OK)
            return VE_OK;
    }
    VString systemID;
    path.GetPosixPath(systemID);
    // XML errors are pushed and the texts read before them stay: the file counts as loaded either way.
    (void)LoadXLIFFData(content.GetDataPtr(), content.GetDataSize(), systemID, inAvoidLanguageChecking);
    if (!inFromScan)
        _RememberPath(path);
    VTime modified;
    {
        StErrorContextInstaller silent(false, true);
        (void)inFile->GetTimeAttributes(&modified);
    }
    StLocker lock(fLock);
    fModificationTimes[path.GetPath()] = modified;
    return VE_OK;
}

VError VLocalizationManager::LoadXLIFFData(const void* inBytes, size_t inSize, const VString& inName,
                                           bool inAvoidLanguageChecking) {
    if (!fParseOnFirstUse) {
        _ParseXLIFFData(inBytes, inSize, inName, inAvoidLanguageChecking);
        return VE_OK;
    }
    StLocker lock(fLock);
    fPendingTexts.push_back(
        {std::string(static_cast<const char*>(inBytes), inSize), inName, inAvoidLanguageChecking, false});
    fHasPendingTexts.store(true, std::memory_order_release);
    return VE_OK;
}

void VLocalizationManager::_ParseXLIFFData(const void* inBytes, size_t inSize, const VString& inName,
                                           bool inAvoidLanguageChecking) {
    fRootHandler->SetAvoidLanguageChecking(inAvoidLanguageChecking);
    // The parser pushes what is wrong with the text; what was read before stays.
    (void)fParser.Parse(inBytes, inSize, fRootHandler, kXLIFFParseOptions, inName);
    fRootHandler->SetAvoidLanguageChecking(false);
}

void VLocalizationManager::ParseOnFirstUse() {
    fParseOnFirstUse = true;
}

void VLocalizationManager::_ParsePendingTexts() {
    if (!fHasPendingTexts.load(std::memory_order_acquire))
        return;
    // The lock is held through the parse: a lookup from another task waits for the whole tables.
    StLocker lock(fLock);
    std::vector<PendingText> pending;
    pending.swap(fPendingTexts);
    fHasPendingTexts.store(false, std::memory_order_release);
    // Loading problems are not reported, whichever call happens to parse.
    StErrorContextInstaller dropped(false, true);
    for (const PendingText& text : pending) {
        if (text.fIsStrings)
            _ParseStringsData(text.fBytes.data(), text.fBytes.size());
        else
            _ParseXLIFFData(text.fBytes.data(), text.fBytes.size(), text.fName, text.fAvoidLanguageChecking);
    }
}

void VLocalizationManager::_RememberPath(const VFilePath& inPath) {
    if (std::find(fLoadedPaths.begin(), fLoadedPaths.end(), inPath) == fLoadedPaths.end())
        fLoadedPaths.push_back(inPath);
}

void VLocalizationManager::_ClearBags() {
    for (auto& entry : fGroupBagsByName)
        entry.second->Release();
    for (auto& entry : fGroupBagsByType)
        entry.second->Release();
    fGroupBagsByName.clear();
    fGroupBagsByType.clear();
}

void VLocalizationManager::ClearLocalizations() {
    // Parsed first: the root handler carries the language state of the last file to the next.
    _ParsePendingTexts();
    StLocker lock(fLock);
    fSTRSharpTable.clear();
    fKeyTable.clear();
    fGroupTable.clear();
    fDotStringsTable.clear();
    _ClearBags();
}

bool VLocalizationManager::DoesNeedAnUpdate() {
    StLocker lock(fLock);
    StErrorContextInstaller silent(false, true);
    for (const auto& [path, recorded] : fModificationTimes) {
        VFile file{VFilePath(path)};
        VTime modified;
        if (file.Exists() && file.GetTimeAttributes(&modified) == VE_OK && modified != recorded)
            return true;
    }
    for (const VFilePath& loaded : fLoadedPaths) {
        if (!loaded.IsFolder())
            continue;
        for (const VFilePath& path : ListFiles(VFolder(loaded)))
            if (IsXLIFF(path) && fModificationTimes.find(path.GetPath()) == fModificationTimes.end())
                return true;
    }
    return false;
}

bool VLocalizationManager::UpdateIfNeeded() {
    if (!DoesNeedAnUpdate())
        return false;
    ClearLocalizations();
    std::vector<VFilePath> paths(fLoadedPaths);
    for (const VFilePath& path : paths) {
        if (path.IsFolder()) {
            VFolder folder(path);
            (void)ScanAndLoadFolder(&folder, false);
        } else {
            VFile file(path);
            (void)_LoadFile(&file, false, false);
        }
    }
    return true;
}

// Filling.

void VLocalizationManager::InsertSTRSharpString(const STRSharpCodes& inCodes, const VString& inText,
                                                bool inReplace) {
    StLocker lock(fLock);
    auto [entry, inserted] = fSTRSharpTable.try_emplace(inCodes, inText);
    if (!inserted && inReplace)
        entry->second = inText;
}

void VLocalizationManager::InsertKeyString(const VString& inKey, const VString& inText, bool inReplace) {
    StLocker lock(fLock);
    auto [entry, inserted] = fKeyTable.try_emplace(inKey, inText);
    if (!inserted && inReplace)
        entry->second = inText;
}

void VLocalizationManager::InsertGroupString(const VString& inGroupName, uint32_t inItemID,
                                             const VString& inText) {
    StLocker lock(fLock);
    fGroupTable[inGroupName][inItemID] = inText;
}

void VLocalizationManager::InsertGroupBag(const VString& inResourceName, const VString& inResourceType,
                                          VValueBag* inBag) {
    if (inBag == nullptr)
        return;
    StLocker lock(fLock);
    if (!inResourceName.IsEmpty() && fGroupBagsByName.try_emplace(inResourceName, inBag).second)
        inBag->Retain();
    fGroupBagsByType.emplace(inResourceType, RetainRefCountable(inBag));
}

// Lookups.

bool VLocalizationManager::LocalizeStringWithKey(const VString& inKey, VString& outText) {
    _ParsePendingTexts();
    StLocker lock(fLock);
    return CopyText(fKeyTable, inKey, outText);
}

bool VLocalizationManager::LocalizeStringWithDotStringsKey(const VString& inKey, VString& outText) {
    _ParsePendingTexts();
    StLocker lock(fLock);
    return CopyText(fDotStringsTable, inKey, outText);
}

bool VLocalizationManager::LocalizeStringWithSTRSharpCodes(const STRSharpCodes& inCodes, VString& outText) {
    _ParsePendingTexts();
    StLocker lock(fLock);
    return CopyText(fSTRSharpTable, inCodes, outText);
}

bool VLocalizationManager::GetOrderedStringsOfGroup(const VString& inGroupName,
                                                    std::vector<VString>& outTexts) {
    outTexts.clear();
    _ParsePendingTexts();
    StLocker lock(fLock);
    auto group = fGroupTable.find(inGroupName);
    if (group == fGroupTable.end())
        return false;
    for (const auto& entry : group->second)
        outTexts.push_back(entry.second);
    return !outTexts.empty();
}

bool VLocalizationManager::LocalizeGroupOfStringsWithAStrSharpID(uint32_t inListID,
                                                                 std::vector<VString>& outTexts) {
    _ParsePendingTexts();
    StLocker lock(fLock);
    outTexts.clear();
    for (uint32_t index = 1;; ++index) {
        auto found = fSTRSharpTable.find({inListID, index});
        if (found == fSTRSharpTable.end())
            break;
        outTexts.push_back(found->second);
    }
    return !outTexts.empty();
}

bool VLocalizationManager::LocalizeErrorMessage(VError inError, VString& outMessage) {
    OsType component = ComponentFromVError(inError);
    VString key("ERR_");
    for (int shift = 24; shift >= 0; shift -= 8)
        key.AppendUniChar(static_cast<UniChar>((component >> shift) & 0xFF));
    key.AppendUniChar(u'_').AppendLong(NumberFromVError(inError));
    key.Truncate(std::min(key.GetLength(), kMaxErrorKeyLength));
    return LocalizeStringWithKey(key, outMessage);
}

VValueBag* VLocalizationManager::RetainGroupBag(const VString& inResourceName) {
    _ParsePendingTexts();
    StLocker lock(fLock);
    auto found = fGroupBagsByName.find(inResourceName);
    return found == fGroupBagsByName.end() ? nullptr : RetainRefCountable(found->second);
}

void VLocalizationManager::RetainGroupBagsByRestype(const VString& inResourceType,
                                                    std::vector<VValueBag*>& outBags) {
    _ParsePendingTexts();
    StLocker lock(fLock);
    auto [first, last] = fGroupBagsByType.equal_range(inResourceType);
    for (auto entry = first; entry != last; ++entry)
        outBags.push_back(RetainRefCountable(entry->second));
}

VString LocalizeString(const VString& inKey, const char* inDefault) {
    VString text;
    ILocalizer* localizer = VProcess::Get() != nullptr ? VProcess::Get()->GetLocalizer() : nullptr;
    if ((localizer == nullptr || !localizer->LocalizeStringWithKey(inKey, text)) && inDefault != nullptr)
        text = VString(inDefault);
    return text;
}

} // namespace vkit
