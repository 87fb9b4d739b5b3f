// Fuzz target for XLIFF files: arbitrary bytes (or units inside an XLIFF skeleton) loaded into a
// localization store, its error report checked, and the bytes and UTF-16 paths compared.
#include "bags/VValueBag.h"
#include "errors/StErrorContextInstaller.h"
#include "errors/VErrorBase.h"
#include "errors/VErrorContext.h"
#include "fuzz/FuzzCheck.h"
#include "localization/IXMLHandler.h"
#include "localization/VLocalizationManager.h"
#include "localization/VLocalizationXMLHandler.h"
#include "runtime/VTaskMgr.h"

#include <unicode/utf8.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using namespace vkit;

namespace {

constexpr size_t kMaxLength = 64 * 1024;

using fuzzing::Check;

bool IsPlainUTF8(const std::string& inText) {
    if (inText.find("encoding") != std::string::npos || inText.find('\0') != std::string::npos)
        return false;
    int32_t length = static_cast<int32_t>(inText.size());
    for (int32_t i = 0; i < length;) {
        UChar32 c;
        U8_NEXT(inText.data(), i, length, c);
        if (c < 0)
            return false;
    }
    return true;
}

/// Loads the text and checks the report: at most one error, an XML parsing error. Answers what the
/// lookups of a few keys give.
std::vector<std::string> Load(VLocalizationManager& ioManager, const std::string& inText, bool inAsUTF16,
                              bool inAvoid, bool& outFailed) {
    StErrorContextInstaller errors(true, false);
    if (inAsUTF16) {
        VString text(inText.data(), inText.size());
        VLocalizationXMLHandler* root = new VLocalizationXMLHandler(ioManager);
        root->SetAvoidLanguageChecking(inAvoid);
        (void)VXMLParser().Parse(text, root, VXMLParser::kValidateNever);
        root->Release();
    } else {
        (void)ioManager.LoadXLIFFData(inText.data(), inText.size(), VString("fuzz"),
                                      inAvoid); // errors are pushed
    }
    const std::vector<VErrorBase*>& reported = errors.GetContext()->GetErrors();
    Check(reported.size() <= 1);
    outFailed = !reported.empty();
    if (outFailed)
        Check(reported[0]->GetError() == VE_XML_PARSING_FAILED);
    std::vector<std::string> found;
    for (const char* key : {"k", "ERR_vkit_4", "[l]#}[{@g#}[{@k"}) {
        VString text;
        found.push_back(ioManager.LocalizeStringWithKey(VString(key), text) ? text.ToUTF8() : "<none>");
    }
    std::vector<VString> texts;
    ioManager.LocalizeGroupOfStringsWithAStrSharpID(1, texts);
    found.push_back(std::to_string(texts.size()));
    std::vector<VValueBag*> bags;
    ioManager.RetainGroupBagsByRestype(VString("x"), bags);
    for (VValueBag* bag : bags)
        bag->Release();
    found.push_back(std::to_string(bags.size()));
    errors.GetContext()->Flush();
    return found;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* inData, size_t inSize) {
    static const bool sInited = [] {
        VTaskMgr::Init();
        VErrorBase::Init();
        return true;
    }();
    (void)sInited;
    if (inSize < 1 || inSize > kMaxLength)
        return 0;
    // The first byte picks the mode: bit 1 wraps the rest in an XLIFF file, bit 2 avoids the
    // language check, bit 4 names a French (Canada) file instead of French.
    uint8_t mode = inData[0];
    std::string text(reinterpret_cast<const char*>(inData + 1), inSize - 1);
    if (mode & 1) {
        text = std::string("<?xml version=\"1.0\"?><xliff><file target-language=\"") +
               ((mode & 4) ? "fr-CA" : "fr-FR") + "\"><body>" + text + "</body></file></xliff>";
    }
    bool avoid = (mode & 2) != 0;
    VRefPtr<VLocalizationManager> bytes = AdoptRef(new VLocalizationManager(1036));
    VRefPtr<VLocalizationManager> units = AdoptRef(new VLocalizationManager(1036));
    bool bytesFailed = false;
    bool unitsFailed = false;
    std::vector<std::string> fromBytes = Load(*bytes, text, false, avoid, bytesFailed);
    std::vector<std::string> fromUnits = Load(*units, text, true, avoid, unitsFailed);
    // A plain UTF-8 text reads the same whichever way it reaches the parser.
    if (IsPlainUTF8(text)) {
        Check(bytesFailed == unitsFailed);
        Check(fromBytes == fromUnits);
    }
    bytes->ClearLocalizations();
    return 0;
}
