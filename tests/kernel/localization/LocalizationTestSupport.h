// What the localization tests share: the task manager and error layer, XLIFF texts, paths.
#pragma once

#include "errors/VErrorBase.h"
#include "files/VFilePath.h"
#include "runtime/VTaskMgr.h"
#include "support/VTestTempFolder.h"
#include "text/VString.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace vkit::testing {

class LocalizationTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(VTaskMgr::Init());
        VErrorBase::Init();
    }
};

/// An XLIFF document with one file of a target language around inBody.
inline std::string Xliff(const std::string& inLanguage, const std::string& inBody) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xliff version=\"1.2\">\n<file original=\"t\" "
           "source-language=\"en\" target-language=\"" +
           inLanguage + "\" datatype=\"plaintext\"><body>\n" + inBody + "\n</body></file></xliff>\n";
}

/// A trans-unit with a resname, a target text and extra attributes.
inline std::string Unit(const std::string& inResname, const std::string& inTarget,
                        const std::string& inAttributes = "") {
    return "<trans-unit resname=\"" + inResname + "\" " + inAttributes + "><source>src " + inResname +
           "</source><target>" + inTarget + "</target></trans-unit>\n";
}

inline VFilePath FolderPath(const std::string& inPosix) {
    return VFilePath(VString(inPosix + "/"), FilePathStyle::Posix);
}

inline VFilePath FilePath(const std::string& inPosix) {
    return VFilePath(VString(inPosix), FilePathStyle::Posix);
}

/// Sets (or, with no value, unsets) an environment variable for the scope.
class StEnvironment {
public:
    StEnvironment(const char* inName, std::optional<std::string> inValue) : fName(inName) {
        if (const char* previous = std::getenv(inName))
            fPrevious = previous;
        if (inValue)
            ::setenv(inName, inValue->c_str(), 1);
        else
            ::unsetenv(inName);
    }
    ~StEnvironment() {
        if (fPrevious)
            ::setenv(fName.c_str(), fPrevious->c_str(), 1);
        else
            ::unsetenv(fName.c_str());
    }
    StEnvironment(const StEnvironment&) = delete;
    StEnvironment& operator=(const StEnvironment&) = delete;

private:
    std::string fName;
    std::optional<std::string> fPrevious;
};

} // namespace vkit::testing
