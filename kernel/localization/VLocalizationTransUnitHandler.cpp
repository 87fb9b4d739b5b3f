// VLocalizationTransUnitHandler: unit texts, platform conditions and the recording of units.
#include "localization/VLocalizationTransUnitHandler.h"

#include "bags/VValueBag.h"
#include "localization/VLocalizationManager.h"

namespace vkit {

namespace {

const StPackedDictionaryKey kTargetKey("target");
const StPackedDictionaryKey kTransUnitElement("trans-unit");
const StPackedDictionaryKey kAltTransElement("alt-trans");
constexpr const char* kListNameSeparator = "#}[{@";

bool IsBlank(UniChar inChar) {
    return inChar == u' ' || inChar == u'\t' || inChar == u'\n' || inChar == u'\r';
}

/// Whether the blank-separated words of inValue hold inWord, compared as the international manager
/// compares ordinarily (accents and case ignored).
bool HasWord(const VString& inValue, const VString& inWord) {
    VIndex length = inValue.GetLength();
    VIndex start = 1;
    while (start <= length) {
        while (start <= length && IsBlank(inValue.GetUniChar(start)))
            ++start;
        VIndex end = start;
        while (end <= length && !IsBlank(inValue.GetUniChar(end)))
            ++end;
        if (end > start) {
            VString word;
            inValue.GetSubString(start, end - start, word);
            if (word.EqualToString(inWord))
                return true;
        }
        start = end;
    }
    return false;
}

} // namespace

VLocalizationTransUnitHandler::VLocalizationTransUnitHandler(VLocalizationManager& inManager,
                                                             bool inReplaceExisting)
    : VLocalizationTransUnitHandler(inManager, inReplaceExisting, 0, {}, nullptr) {}

VLocalizationTransUnitHandler::VLocalizationTransUnitHandler(VLocalizationManager& inManager,
                                                             bool inReplaceExisting, uint32_t inGroupID,
                                                             const std::vector<VString>& inGroupNames,
                                                             VValueBag* inParentBag)
    : fManager(inManager), fParentBag(RetainRefCountable(inParentBag)),
      fBag(inParentBag != nullptr ? new VValueBag : nullptr), fGroupID(inGroupID),
      fReplaceExisting(inReplaceExisting), fGroupNames(inGroupNames) {}

VLocalizationTransUnitHandler::~VLocalizationTransUnitHandler() {
    ReleaseRefCountable(&fBag);
    ReleaseRefCountable(&fParentBag);
}

bool VLocalizationTransUnitHandler::IsExcludedByCondition(const VString& inValue, bool inInclude) {
    static const VString kPlatform(kPlatformWord);
    bool namesThisPlatform = HasWord(inValue, kPlatform);
    // The platform words of every build: "mac", "win" and "linux".
    bool namesAPlatform =
        namesThisPlatform || HasWord(inValue, VString("mac")) || HasWord(inValue, VString("win"));
    if (!namesAPlatform)
        return false;
    return inInclude ? !namesThisPlatform : namesThisPlatform;
}

IXMLHandler* VLocalizationTransUnitHandler::StartElement(const VString& inElementName) {
    fChildName = inElementName;
    if (inElementName == "source") {
        fHasSource = true;
    } else if (inElementName == "target") {
        fHasTarget = true;
    } else if (inElementName == "alt-trans") {
        return new VLocalizationAltTransHandler(fManager, fBag);
    } else {
        return nullptr;
    }
    Retain();
    return this;
}

void VLocalizationTransUnitHandler::SetAttribute(const VString& inName, const VString& inValue) {
    if (fBag != nullptr)
        fBag->SetString(StPackedDictionaryKey(inName), inValue);
    if (inName == "id") {
        if (int64_t id = inValue.GetLong8(); id >= 1 && id <= UINT32_MAX)
            fUnitID = static_cast<uint32_t>(id);
    } else if (inName == "resname") {
        fResourceName = inValue;
    } else if (inName == "qz:excludeIf" || inName == "qz:includeIf") {
        if (IsExcludedByCondition(inValue, inName == "qz:includeIf"))
            fExcluded = true;
    }
}

void VLocalizationTransUnitHandler::SetText(const VString& inText) {
    if (fChildName == "source")
        fSourceText.AppendString(inText);
    else if (fChildName == "target")
        fTargetText.AppendString(inText);
}

void VLocalizationTransUnitHandler::EndElement(const VString& inElementName) {
    if (inElementName == "source" || inElementName == "target") {
        fChildName.Clear();
        return;
    }
    if (!fExcluded)
        _Finish();
}

const VString& VLocalizationTransUnitHandler::_GetText() const {
    static const VString kEmpty;
    return fHasTarget ? fTargetText : (fHasSource ? fSourceText : kEmpty);
}

void VLocalizationTransUnitHandler::_Finish() {
    const VString& text = _GetText();
    if (fBag != nullptr) {
        fBag->SetString(kTargetKey, text);
        fParentBag->AddElement(kTransUnitElement, fBag);
    }
    if (fInserted)
        return;
    if (fUnitID != 0 && fGroupID != 0) {
        fManager.InsertSTRSharpString({fGroupID, fUnitID}, text, fReplaceExisting);
        fInserted = true;
    }
    if (text.IsEmpty())
        return;
    size_t count = fGroupNames.size();
    if (count >= 2 && !fResourceName.IsEmpty() && !fGroupNames[count - 1].IsEmpty()) {
        const VString& list = fGroupNames[count - 2];
        if (!list.IsEmpty() && list.GetUniChar(1) == u'[' && list.GetUniChar(list.GetLength()) == u']') {
            VString key(list);
            key.AppendCString(kListNameSeparator).AppendString(fGroupNames[count - 1]);
            key.AppendCString(kListNameSeparator).AppendString(fResourceName);
            fManager.InsertKeyString(key, text, fReplaceExisting);
            return;
        }
    }
    if (!fResourceName.IsEmpty())
        fManager.InsertKeyString(fResourceName, text, fReplaceExisting);
    for (auto name = fGroupNames.rbegin(); name != fGroupNames.rend(); ++name)
        fManager.InsertGroupString(*name, fUnitID, text);
}

VLocalizationAltTransHandler::VLocalizationAltTransHandler(VLocalizationManager& inManager,
                                                           VValueBag* inUnitBag)
    : VLocalizationTransUnitHandler(inManager, false, 0, {}, inUnitBag) {}

IXMLHandler* VLocalizationAltTransHandler::StartElement(const VString& inElementName) {
    fChildName = inElementName;
    if (inElementName == "source")
        fHasSource = true;
    else if (inElementName == "target")
        fHasTarget = true;
    else
        return nullptr;
    Retain();
    return this;
}

void VLocalizationAltTransHandler::_Finish() {
    if (fBag == nullptr)
        return;
    fBag->SetString(kTargetKey, _GetText());
    fParentBag->AddElement(kAltTransElement, fBag);
}

} // namespace vkit
