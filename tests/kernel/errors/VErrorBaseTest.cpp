// Tests of error objects: their texts, localizers, saving to bags and native-code translation.
#include "ErrorsTestEnvironment.h"

#include "bags/VValueBag.h"
#include "errors/ILocalizer.h"
#include "errors/VErrorBase.h"
#include "errors/VErrorImported.h"
#include "errors/VErrorUserGenerated.h"
#include "errors/VNativeErrorTable.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

using namespace vkit;

namespace {

const ::testing::Environment* const sEnvironment =
    ::testing::AddGlobalTestEnvironment(new vkit::testing::ErrorsTestEnvironment);

const OsType kUpdater = MakeOsType("UPZQ");

std::string Text(void (VErrorBase::*inGetter)(VString&) const, const VErrorBase& inError) {
    VString text;
    (inError.*inGetter)(text);
    return text.ToUTF8();
}

class FrenchLocalizer : public ILocalizer {
public:
    bool LocalizeErrorMessage(VError inError, VString& outMessage) override {
        if (inError != MakeVError(kUpdater, 3))
            return false;
        outMessage = "Impossible de copier {p1}{missing}";
        return true;
    }
};

} // namespace

TEST(VErrorBaseTest, ErrorStringAndLocationNameTheComponent) {
    VErrorBase fileNotFound(MakeVError(kComponentVkit, 600));
    EXPECT_EQ(Text(&VErrorBase::GetErrorString, fileNotFound), "Error code: 600 (vkit)");
    EXPECT_EQ(Text(&VErrorBase::GetLocation, fileNotFound), "vkitcore");
    VErrorBase engine(MakeVError(kUpdater, 7));
    EXPECT_EQ(Text(&VErrorBase::GetLocation, engine), "component: 'UPZQ'");
    VErrorBase negative(MakeVError(kComponentCarbon, -43));
    EXPECT_EQ(Text(&VErrorBase::GetErrorString, negative), "Error code: -43 (CARB)");
    // The signature is read as text: it ends at a zero byte.
    EXPECT_EQ(Text(&VErrorBase::GetErrorString, VErrorBase(VE_OK)), "Error code: 0 ()");
}

TEST(VErrorBaseTest, ErrorRecordsTheCurrentTask) {
    VErrorBase error(MakeVError(kUpdater, 1));
    EXPECT_EQ(error.GetTaskID(), VTaskMgr::GetCurrentTaskID());
    EXPECT_NE(error.GetTaskID(), 0);
}

TEST(VErrorBaseTest, DescriptionComesFromTheLocalizerWithParametersFilled) {
    FrenchLocalizer localizer;
    VErrorBase::RegisterLocalizer(kUpdater, &localizer);
    VErrorBase error(MakeVError(kUpdater, 3));
    error.GetBag().SetString(ErrorBagKeys::p1, "/A.app");
    EXPECT_EQ(Text(&VErrorBase::GetErrorDescription, error), "Impossible de copier /A.app");
    // A code the localizer does not know falls back to the error string.
    VErrorBase unknown(MakeVError(kUpdater, 4));
    EXPECT_EQ(Text(&VErrorBase::GetErrorDescription, unknown), "Error code: 4 (UPZQ)");
    VErrorBase::UnregisterLocalizer(kUpdater);
    EXPECT_EQ(VErrorBase::GetLocalizer(kUpdater), nullptr);
    EXPECT_EQ(Text(&VErrorBase::GetErrorDescription, error), "Error code: 3 (UPZQ)");
}

TEST(VErrorBaseTest, DescriptionFromParametersFillsPlaceholders) {
    VErrorBase error(MakeVError(kUpdater, 9));
    error.GetBag().SetString(ErrorBagKeys::error_description, "Cannot open {name} ({gone})");
    error.GetBag().SetString(StPackedDictionaryKey("name"), "log.txt");
    EXPECT_EQ(Text(&VErrorBase::GetErrorDescription, error), "Cannot open log.txt ()");
    error.GetBag().SetString(ErrorBagKeys::action_description, "Check {name}");
    EXPECT_EQ(Text(&VErrorBase::GetActionDescription, error), "Check log.txt");
}

TEST(VErrorBaseTest, PosixErrorIsDescribedByTheSystemText) {
    VErrorBase denied(MakeVErrorFromPosix(EACCES));
    EXPECT_EQ(Text(&VErrorBase::GetErrorDescription, denied), std::strerror(EACCES));
}

TEST(VErrorBaseTest, DumpListsEveryNonEmptyLine) {
    VErrorBase error(MakeVError(kUpdater, 2));
    error.GetBag().SetString(ErrorBagKeys::action_description, "Retry");
    VString name;
    int32_t id = 0;
    error.GetTaskName(name, &id);
    std::string expected = "Error code: 2 (UPZQ)\nError code: 2 (UPZQ)\ncomponent: 'UPZQ'\nRetry\ntask " +
                           std::to_string(id) + (name.IsEmpty() ? "" : ", name: '" + name.ToUTF8() + "'") +
                           "\n";
    EXPECT_EQ(Text(&VErrorBase::DumpToString, error), expected);

    VErrorUserGenerated user(MakeVError(kUpdater, 5), "Disk is full");
    EXPECT_EQ(Text(&VErrorBase::DumpToString, user), "Disk is full");
    VErrorImported imported(MakeVError(kUpdater, 5), "remote failure");
    EXPECT_EQ(Text(&VErrorBase::GetLocation, imported), "REST Imported Error");
}

TEST(VErrorBaseTest, SaveAndLoadThroughABagKeepTheError) {
    VErrorBase error(MakeVError(kUpdater, 12));
    error.GetBag().SetString(ErrorBagKeys::p1, "x");
    VValueBag* bag = new VValueBag;
    error.SaveToBag(*bag);
    VErrorBase loaded;
    EXPECT_EQ(loaded.LoadFromBag(*bag), VE_OK);
    EXPECT_EQ(loaded.GetError(), error.GetError());
    EXPECT_EQ(loaded.GetTaskID(), error.GetTaskID());
    VString p1;
    EXPECT_TRUE(loaded.GetBag().GetString(ErrorBagKeys::p1, p1));
    EXPECT_EQ(p1, "x");
    bag->Release();
}

TEST(VErrorBaseTest, NativeCodesTranslateThroughTheTable) {
    const VError fallback = MakeVError(kUpdater, 99);
    EXPECT_EQ(EncodedNativeErrorToVError(MakeVErrorFromPosix(2), fallback), MakeVError(kComponentVkit, 600));
    EXPECT_EQ(EncodedNativeErrorToVError(MakeVErrorFromPosix(13), fallback), VE_ACCESS_DENIED);
    EXPECT_EQ(EncodedNativeErrorToVError(MakeVErrorFromPosix(999), fallback), fallback);
    EXPECT_EQ(EncodedNativeErrorToVError(MakeVError(kUpdater, 7), fallback), MakeVError(kUpdater, 7));
    EXPECT_EQ(EncodedNativeErrorToVError(VE_UNKNOWN_ERROR, fallback), fallback);
    EXPECT_EQ(EncodedNativeErrorToVError(MakeVError(kComponentMach, 5), fallback), fallback);
    EXPECT_EQ(MAC_MapCarbonErrorToVError(0), VE_OK);
    EXPECT_EQ(MAC_MapCarbonErrorToVError(-108), VE_MEMORY_FULL);
    EXPECT_EQ(MAC_MapCarbonErrorToVError(-1), MakeVError(kComponentCarbon, -1));
}
