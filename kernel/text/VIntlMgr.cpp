// VIntlMgr: ICU collators and number settings.
#include "text/VIntlMgr.h"

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/uloc.h>
#include <unicode/unum.h>
#include <unicode/usearch.h>

#include <atomic>
#include <mutex>

namespace vkit {

namespace {

std::atomic<VIntlMgr*> sDefaultMgr{nullptr};
std::mutex sDefaultMgrMutex; // guards replacement and lazy creation of the default only
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

} // namespace

VIntlMgr* VIntlMgr::Create(const VString& inLocaleName) {
    std::string locale = inLocaleName.IsEmpty() ? std::string(uloc_getDefault()) : inLocaleName.ToUTF8();
    // Without language settings (LANG unset, "C" or "POSIX") ICU's default is "en_US_POSIX", whose
    // collation orders code points and so tells case apart even at primary strength: use English.
    if (locale.find("POSIX") != std::string::npos)
        locale = "en_US";
    const char* name = locale.c_str();
    VIntlMgr* mgr = new VIntlMgr;
    mgr->fLocaleName = VString(locale);
    mgr->fCollatorPrimary = OpenCollator(name, UCOL_PRIMARY);
    mgr->fCollatorTertiary = OpenCollator(name, UCOL_TERTIARY);
    mgr->fDecimalSeparator = ReadDecimalSeparator(name);
    if (mgr->fCollatorPrimary == nullptr || mgr->fCollatorTertiary == nullptr) {
        mgr->Release();
        return nullptr;
    }
    return mgr;
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
    // The previous default is kept alive: other tasks may still be reading it.
    RetainRefCountable(inMgr);
    sDefaultMgr.store(inMgr, std::memory_order_release);
}

void VIntlMgr::SetCurrentMgr(VIntlMgr* inMgr) {
    tCurrentMgr = inMgr;
}

bool VIntlMgr::EqualString(const VString& inA, const VString& inB, bool inDiacritical) const {
    return CompareString(inA, inB, inDiacritical) == 0;
}

int VIntlMgr::CompareString(const VString& inA, const VString& inB, bool inDiacritical) const {
    UCollationResult result =
        ucol_strcoll(inDiacritical ? fCollatorTertiary : fCollatorPrimary, inA.GetCPointer(), inA.GetLength(),
                     inB.GetCPointer(), inB.GetLength());
    return result == UCOL_LESS ? -1 : (result == UCOL_GREATER ? 1 : 0);
}

VIndex VIntlMgr::FindString(const VString& inText, const VString& inPattern, VIndex inStart,
                            bool inDiacritical, VIndex* outMatchLength) const {
    if (outMatchLength != nullptr)
        *outMatchLength = 0;
    if (inPattern.IsEmpty() || inStart < 1 || inStart > inText.GetLength())
        return 0;
    UErrorCode status = U_ZERO_ERROR;
    UStringSearch* search = usearch_openFromCollator(
        inPattern.GetCPointer(), inPattern.GetLength(), inText.GetCPointer(), inText.GetLength(),
        inDiacritical ? fCollatorTertiary : fCollatorPrimary, nullptr, &status);
    if (U_FAILURE(status))
        return 0;
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
    if (inPrefix.IsEmpty())
        return true;
    VIndex length = 0;
    return FindString(inText, inPrefix, 1, inDiacritical, &length) == 1;
}

bool VIntlMgr::EndsWith(const VString& inText, const VString& inSuffix, bool inDiacritical) const {
    if (inSuffix.IsEmpty())
        return true;
    // The last match must end at the end of the text.
    VIndex length = 0;
    VIndex position = FindString(inText, inSuffix, 1, inDiacritical, &length);
    while (position != 0) {
        if (position - 1 + length == inText.GetLength())
            return true;
        position = FindString(inText, inSuffix, position + 1, inDiacritical, &length);
    }
    return false;
}

bool VIntlMgr::IsSpace(UniChar inChar) {
    return u_isUWhiteSpace(inChar);
}

} // namespace vkit
