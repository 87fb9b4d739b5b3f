// VIntlMgr: ICU collators and number settings.
#include "text/VIntlMgr.h"

#include "platform/posix/text/XPosixUserLanguages.h"

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/uloc.h>
#include <unicode/unum.h>
#include <unicode/usearch.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace vkit {

namespace {

std::atomic<VIntlMgr*> sDefaultMgr{nullptr};
std::mutex sDefaultMgrMutex; // guards replacement and lazy creation of the default only
// Defaults that were replaced, each with the reference the default held (guarded by sDefaultMgrMutex).
std::vector<VIntlMgr*> sReplacedMgrs;
thread_local VIntlMgr* tCurrentMgr = nullptr;

UCollator* OpenCollator(const char* inLocale, UCollationStrength inStrength) {
    UErrorCode status = U_ZERO_ERROR;
    UCollator* collator = ucol_open(inLocale, &status);
    if (U_FAILURE(status))
        return nullptr;
    ucol_setStrength(collator, inStrength);
    // Compare canonically equivalent texts (composed and decomposed) as equal.
    ucol_setAttribute(collator, UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
    return collator;
}

UniChar ReadDecimalSeparator(const char* inLocale) {
    UErrorCode status = U_ZERO_ERROR;
    UNumberFormat* format = unum_open(UNUM_DECIMAL, nullptr, 0, inLocale, nullptr, &status);
    UniChar separator = u'.';
    if (U_SUCCESS(status)) {
        UChar symbol[8];
        int32_t length = unum_getSymbol(format, UNUM_DECIMAL_SEPARATOR_SYMBOL, symbol, 8, &status);
        if (U_SUCCESS(status) && length == 1)
            separator = symbol[0];
        unum_close(format);
    }
    return separator;
}

UStringSearch* OpenSearch(const VString& inText, const VString& inPattern, const UCollator* inCollator) {
    UErrorCode status = U_ZERO_ERROR;
    // usearch does not change the collator; its interface only lacks the const.
    UStringSearch* search =
        usearch_openFromCollator(inPattern.GetCPointer(), inPattern.GetLength(), inText.GetCPointer(),
                                 inText.GetLength(), const_cast<UCollator*>(inCollator), nullptr, &status);
    return U_SUCCESS(status) ? search : nullptr;
}

} // namespace

std::string VIntlMgr::UserLocaleName() {
    // The user's first language, by the rule the localizations are chosen with. Without settings ICU's
    // own default would be "en_US_POSIX", whose collation orders code points and so tells case apart
    // even at primary strength: English stands for it.
    std::vector<std::string> languages = XPosixUserLanguages::Get();
    return languages.empty() ? std::string("en_US") : languages.front();
}

VIntlMgr* VIntlMgr::Create(const VString& inLocaleName) {
    std::string locale = inLocaleName.IsEmpty() ? UserLocaleName() : inLocaleName.ToUTF8();
    VIntlMgr* mgr = new VIntlMgr;
    mgr->fLocaleName = VString(locale);
    return mgr;
}

const UCollator* VIntlMgr::_Collator(bool inDiacritical) const {
    std::call_once(fCollatorsOnce, [this] {
        std::string name = fLocaleName.ToUTF8();
        fCollatorPrimary = OpenCollator(name.c_str(), UCOL_PRIMARY);
        fCollatorTertiary = OpenCollator(name.c_str(), UCOL_TERTIARY);
    });
    return inDiacritical ? fCollatorTertiary : fCollatorPrimary;
}

UniChar VIntlMgr::GetDecimalSeparator() const {
    std::call_once(fSeparatorOnce,
                   [this] { fDecimalSeparator = ReadDecimalSeparator(fLocaleName.ToUTF8().c_str()); });
    return fDecimalSeparator;
}

void VIntlMgr::SetDecimalSeparator(UniChar inSeparator) {
    std::call_once(fSeparatorOnce, [] {}); // the locale's is not read over a separator set
    fDecimalSeparator = inSeparator;
}

VIntlMgr::~VIntlMgr() {
    if (fCollatorPrimary != nullptr)
        ucol_close(fCollatorPrimary);
    if (fCollatorTertiary != nullptr)
        ucol_close(fCollatorTertiary);
}

VIntlMgr* VIntlMgr::GetDefaultMgr() {
    if (tCurrentMgr != nullptr)
        return tCurrentMgr;
    VIntlMgr* mgr = sDefaultMgr.load(std::memory_order_acquire);
    if (mgr != nullptr)
        return mgr;
    std::lock_guard<std::mutex> lock(sDefaultMgrMutex);
    mgr = sDefaultMgr.load(std::memory_order_acquire);
    if (mgr == nullptr) {
        mgr = Create(VString());
        sDefaultMgr.store(mgr, std::memory_order_release);
    }
    return mgr;
}

void VIntlMgr::SetDefaultMgr(VIntlMgr* inMgr) {
    std::lock_guard<std::mutex> lock(sDefaultMgrMutex);
    RetainRefCountable(inMgr);
    // The previous default is kept alive: other tasks may still be reading it.
    if (VIntlMgr* previous = sDefaultMgr.exchange(inMgr, std::memory_order_acq_rel); previous != nullptr)
        sReplacedMgrs.push_back(previous);
}

void VIntlMgr::ReleaseDefaultMgrs() {
    std::vector<VIntlMgr*> released;
    {
        std::lock_guard<std::mutex> lock(sDefaultMgrMutex);
        released.swap(sReplacedMgrs);
        if (VIntlMgr* current = sDefaultMgr.exchange(nullptr, std::memory_order_acq_rel); current != nullptr)
            released.push_back(current);
    }
    for (VIntlMgr* mgr : released)
        mgr->Release();
}

void VIntlMgr::SetCurrentMgr(VIntlMgr* inMgr) {
    tCurrentMgr = inMgr;
}

bool VIntlMgr::EqualString(const VString& inA, const VString& inB, bool inDiacritical) const {
    return CompareString(inA, inB, inDiacritical) == 0;
}

int VIntlMgr::CompareString(const VString& inA, const VString& inB, bool inDiacritical) const {
    // The same code units are equal under any collation: no need to build sort keys.
    if (inA.View() == inB.View())
        return 0;
    const UCollator* collator = _Collator(inDiacritical);
    if (collator == nullptr)
        return inA.View() < inB.View() ? -1 : 1;
    UCollationResult result =
        ucol_strcoll(collator, inA.GetCPointer(), inA.GetLength(), inB.GetCPointer(), inB.GetLength());
    return result == UCOL_LESS ? -1 : (result == UCOL_GREATER ? 1 : 0);
}

VIndex VIntlMgr::FindString(const VString& inText, const VString& inPattern, VIndex inStart,
                            bool inDiacritical, VIndex* outMatchLength) const {
    if (outMatchLength != nullptr)
        *outMatchLength = 0;
    if (inPattern.IsEmpty() || inStart < 1 || inStart > inText.GetLength())
        return 0;
    UStringSearch* search = OpenSearch(inText, inPattern, _Collator(inDiacritical));
    if (search == nullptr)
        return 0;
    UErrorCode status = U_ZERO_ERROR;
    int32_t found = usearch_following(search, inStart - 1, &status);
    VIndex result = 0;
    if (U_SUCCESS(status) && found != USEARCH_DONE) {
        result = found + 1;
        if (outMatchLength != nullptr)
            *outMatchLength = usearch_getMatchedLength(search);
    }
    usearch_close(search);
    return result;
}

bool VIntlMgr::BeginsWith(const VString& inText, const VString& inPrefix, bool inDiacritical) const {
    // The same code units followed by an ASCII character (never a combining mark) match at once.
    if (inPrefix.IsEmpty() ||
        (inText.BeginsWithRaw(inPrefix) && inText.GetUniChar(inPrefix.GetLength() + 1) < 0x80))
        return true;
    return FindString(inText, inPrefix, 1, inDiacritical) == 1;
}

bool VIntlMgr::EndsWith(const VString& inText, const VString& inSuffix, bool inDiacritical) const {
    // The same code units starting with an ASCII character (never a combining mark) match at once.
    if (inSuffix.IsEmpty() || (inText.EndsWithRaw(inSuffix) && inSuffix[0] < 0x80))
        return true;
    if (inText.IsEmpty())
        return false;
    UStringSearch* search = OpenSearch(inText, inSuffix, _Collator(inDiacritical));
    if (search == nullptr)
        return false;
    // Walk the matches from the last one (overlapping ones included) for one that ends the text.
    UErrorCode status = U_ZERO_ERROR;
    usearch_setAttribute(search, USEARCH_OVERLAP, USEARCH_ON, &status);
    bool found = false;
    for (int32_t position = usearch_last(search, &status); U_SUCCESS(status) && position != USEARCH_DONE;
         position = usearch_previous(search, &status)) {
        if (position + usearch_getMatchedLength(search) == inText.GetLength()) {
            found = true;
            break;
        }
    }
    usearch_close(search);
    return found;
}

bool VIntlMgr::IsSpace(UniChar inChar) {
    return u_isUWhiteSpace(inChar);
}

} // namespace vkit
