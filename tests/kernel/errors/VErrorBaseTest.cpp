// Tests of error objects: their texts, localizers, saving to bags and native-code translation.
#include "ErrorsTestEnvironment.h"

#include "bags/VValueBag.h"
#include "errors/ILocalizer.h"
#include "errors/VErrorImported.h"
#include "errors/VErrorUserGenerated.h"
#include "errors/VNativeErrorTable.h"
#include "runtime/VTask.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <utility>

using namespace vkit;

namespace {

const ::testing::Environment* const sEnvironment =
    ::testing::AddGlobalTestEnvironment(new vkit::testing::ErrorsTestEnvironment);

using Getter = void (VErrorBase::*)(VString&) const;
const Getter kString = &VErrorBase::GetErrorString, kPlace = &VErrorBase::GetLocation,
             kText = &VErrorBase::GetErrorDescription, kAction = &VErrorBase::GetActionDescription;

VError Code(const char (&inSignature)[5], int32_t inNumber) {
    return MakeVError(MakeOsType(inSignature), inNumber);
}

std::string Text(Getter inGetter, const VErrorBase& inError) {
    VString text("stale");
    (inError.*inGetter)(text);
    return text.ToUTF8();
}

/// Knows UPZQ 3 only; for other codes it scribbles on the text and answers false.
class FrenchLocalizer : public ILocalizer {
public:
    bool LocalizeErrorMessage(VError inError, VString& outMessage) override {
        outMessage = inError == Code("UPZQ", 3) ? "Impossible de copier {p1}{missing}" : "scribbled";
        return inError == Code("UPZQ", 3);
    }
};

} // namespace

TEST(VErrorBaseTest, Texts) {
    // Every error has the parameters p1 "/A.app" and name "log.txt"; fDescribed, when given, is set as
    // both its error description and its action description.
    struct Case {
        const char* fLabel;
        VError fCode;
        Getter fGetter;
        const char* fDescribed;
        const char* fExpected;
    };
    const Case cases[] = {
        {"error string", Code("vkit", 600), kString, nullptr, "Error code: 600 (vkit)"},
        {"negative number", Code("CARB", -43), kString, nullptr, "Error code: -43 (CARB)"},
        {"no signature", VE_OK, kString, nullptr, "Error code: 0 ()"},
        {"library location", Code("vkit", 5), kPlace, nullptr, "vkitcore"},
        {"component location", Code("UPZQ", 7), kPlace, nullptr, "component: 'UPZQ'"},
        {"localized", Code("UPZQ", 3), kText, "no", "Impossible de copier /A.app"},
        {"not localized", Code("UPZQ", 4), kText, nullptr, "Error code: 4 (UPZQ)"},
        {"from parameters", Code("UPZQ", 9), kText, "Cannot open {name} ({gone})", "Cannot open log.txt ()"},
        {"empty parameter", Code("UPZQ", 9), kText, "", "Error code: 9 (UPZQ)"},
        {"code 0", VE_OK, kText, "Zero", "Zero"},
        {"Mach code", Code("MACH", 5), kText, "no", "Mach kernel error 5"},
        {"Carbon code", Code("CARB", -43), kText, nullptr, "Operating system status -43."},
        {"Cocoa code", Code("COCO", 4), kText, nullptr, "Cocoa error 4"},
        {"action", Code("UPZQ", 9), kAction, "Check {name}", "Check log.txt"},
        {"no action", Code("UPZQ", 9), kAction, nullptr, ""},
    };
    FrenchLocalizer localizer;
    VErrorBase::RegisterLocalizer(MakeOsType("UPZQ"), &localizer);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fLabel);
        VErrorBase error(c.fCode);
        error.GetBag().SetString(ErrorBagKeys::p1, "/A.app");
        error.GetBag().SetString(StPackedDictionaryKey("name"), "log.txt");
        if (c.fDescribed != nullptr) {
            error.GetBag().SetString(ErrorBagKeys::error_description, c.fDescribed);
            error.GetBag().SetString(ErrorBagKeys::action_description, c.fDescribed);
        }
        EXPECT_EQ(Text(c.fGetter, error), c.fExpected);
    }
    EXPECT_EQ(Text(kText, VErrorBase(MakeVErrorFromPosix(EACCES))), std::strerror(EACCES));
    VString text("stale");
    EXPECT_FALSE(VErrorBase::CallLocalizer(&localizer, Code("UPZQ", 4), nullptr, text));
    EXPECT_TRUE(text.IsEmpty());
    EXPECT_TRUE(VErrorBase::CallLocalizer(&localizer, VE_OK, nullptr, text));
    VErrorBase::UnregisterLocalizer(MakeOsType("UPZQ"));
    EXPECT_EQ(Text(kText, VErrorBase(Code("UPZQ", 3))), "Error code: 3 (UPZQ)");
}

TEST(VErrorBaseTest, DumpAndBagFormsCarryTheTask) {
    VTask::GetCurrent()->SetName(VString("main"));
    VErrorBase error(Code("UPZQ", 2));
    error.GetBag().SetString(ErrorBagKeys::action_description, "Retry");
    error.GetBag().SetString(ErrorBagKeys::error_description, "Disk full");
    VString name;
    int32_t taskID = 0;
    error.GetTaskName(name, &taskID);
    EXPECT_EQ(taskID, VTask::GetCurrent()->GetID());
    const std::string id = std::to_string(taskID);
    EXPECT_EQ(Text(&VErrorBase::DumpToString, error),
              "Error code: 2 (UPZQ)\nDisk full\ncomponent: 'UPZQ'\nRetry\ntask " + id + ", name: 'main'\n");
    // The debugging form is the dump; without the error layer, a line of its own.
    VString dump("> ");
    EXPECT_EQ(error.DebugDump(dump).ToUTF8(), "> " + Text(&VErrorBase::DumpToString, error));
    VErrorBase::DeInit();
    dump.Clear();
    EXPECT_EQ(error.DebugDump(dump).ToUTF8(), "Error code: 2, component: 'UPZQ', task ID: " + id);
    VErrorBase::Init();
    EXPECT_EQ(Text(&VErrorBase::DumpToString, VErrorUserGenerated(Code("UPZQ", 5), "Disk is full")),
              "Disk is full");
    EXPECT_EQ(Text(kPlace, VErrorImported(Code("UPZQ", 5), "remote failure")), "REST Imported Error");

    VValueBag* bag = new VValueBag;
    error.SaveToBag(*bag);
    VErrorBase loaded;
    EXPECT_EQ(loaded.LoadFromBag(*bag), VE_OK);
    bag->Release();
    EXPECT_EQ(Text(&VErrorBase::DumpToString, loaded), Text(&VErrorBase::DumpToString, error));
    VTask::GetCurrent()->SetName(VString());
}

TEST(VErrorBaseTest, NativeCodesTranslateThroughTheTable) {
    const VError fallback = Code("UPZQ", 99);
    const std::pair<VError, VError> cases[] = {
        {Code("POSX", 2), Code("vkit", 600)}, {Code("POSX", 13), Code("vkit", 5)},
        {Code("POSX", 999), fallback},        {Code("CARB", -128), Code("vkit", 6)},
        {Code("UPZQ", 7), Code("UPZQ", 7)},   {Code("vkit", 1), fallback},
        {Code("MACH", 5), fallback},          {Code("COCO", 5), fallback},
        {Code("COCO", 0), Code("COCO", 0)},
    };
    for (const auto& [encoded, expected] : cases)
        EXPECT_EQ(EncodedNativeErrorToVError(encoded, fallback), expected) << std::hex << encoded;
    EXPECT_EQ(MAC_MapCarbonErrorToVError(0), VE_OK);
    EXPECT_EQ(MAC_MapCarbonErrorToVError(-108), Code("vkit", 100));
    EXPECT_EQ(MAC_MapCarbonErrorToVError(-1), Code("CARB", -1));
}
