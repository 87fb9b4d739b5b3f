// Shared helpers of the JSON tests: the error layer brought up, and parses with their error reports.
#pragma once

#include "bags/VValueBag.h"
#include "errors/StErrorContextInstaller.h"
#include "errors/VErrorBase.h"
#include "errors/VErrorContext.h"
#include "runtime/VTaskMgr.h"
#include "json/VJSONImporter.h"
#include "json/VJSONValue.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace vkit::testing {

/// The JSON tests run on the main task of a task manager with the error layer brought up.
class JSONTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(VTaskMgr::Init());
        VErrorBase::Init();
    }
};

/// One pushed error with the attributes the parser sets.
struct ErrorReport {
    VError fCode = 0;
    std::string fFound;
    std::string fExpected;
    std::string fToken;
    std::string fSource;
    int32_t fLine = 0;
    int32_t fPosition = 0;
    bool fHasFound = false;
};

inline std::ostream& operator<<(std::ostream& ioStream, const ErrorReport& inReport) {
    return ioStream << "{" << (inReport.fCode & 0xFFFFFFFF) << " found='" << inReport.fFound << "' expected='"
                    << inReport.fExpected << "' token='" << inReport.fToken << "' source='"
                    << inReport.fSource << "' line=" << inReport.fLine << " position=" << inReport.fPosition
                    << "}";
}

/// The errors of a context, oldest first, with their parameters.
inline std::vector<ErrorReport> ReportsOf(const VErrorContext& inContext) {
    std::vector<ErrorReport> reports;
    for (const VErrorBase* error : inContext.GetErrors()) {
        ErrorReport report;
        report.fCode = error->GetError();
        const VValueBag& bag = error->GetBag();
        VString text;
        report.fHasFound = bag.GetString("found", text);
        report.fFound = text.ToUTF8();
        if (bag.GetString("expected", text))
            report.fExpected = text.ToUTF8();
        if (bag.GetString("token", text))
            report.fToken = text.ToUTF8();
        if (bag.GetString("source", text))
            report.fSource = text.ToUTF8();
        bag.GetLong("line", report.fLine);
        bag.GetLong("position", report.fPosition);
        reports.push_back(report);
    }
    return reports;
}

/// A parse's result code, value and the errors it pushed.
struct ParseOutcome {
    VError fResult = 0;
    VJSONValue fValue;
    std::vector<ErrorReport> fErrors;

    std::vector<int32_t> Codes() const {
        std::vector<int32_t> codes;
        for (const ErrorReport& report : fErrors)
            codes.push_back(NumberFromVError(report.fCode));
        return codes;
    }
};

/// Parses a UTF-16 text under a context of its own and collects what it pushed.
inline ParseOutcome ParseText(const VString& inText, uint32_t inOptions = 0, const char* inSource = nullptr) {
    ParseOutcome outcome;
    StErrorContextInstaller errors(false);
    VJSONImporter importer(inText, inOptions);
    if (inSource != nullptr)
        importer.SetSourceName(VString(inSource));
    outcome.fResult = importer.Parse(outcome.fValue);
    outcome.fErrors = ReportsOf(*errors.GetContext());
    return outcome;
}

/// Parses a UTF-8 text.
inline ParseOutcome Parse(const std::string& inText, uint32_t inOptions = 0) {
    return ParseText(VString(inText.data(), inText.size()), inOptions);
}

/// A value's GetString as UTF-8.
inline std::string TextOf(const VJSONValue& inValue) {
    VString text;
    inValue.GetString(text);
    return text.ToUTF8();
}

/// A value written as JSON (quoted strings), as UTF-8.
inline std::string JSONOf(const VJSONValue& inValue, uint32_t inOptions = 0x01) {
    VString text;
    EXPECT_EQ(inValue.Stringify(text, inOptions), VE_OK);
    return text.ToUTF8();
}

} // namespace vkit::testing
