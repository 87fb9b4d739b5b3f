// What the localization tests share: the task manager and error layer, XLIFF texts, paths.
#pragma once

#include "errors/VErrorBase.h"
#include "files/VFilePath.h"
#include "runtime/VTaskMgr.h"
#include "support/VTestTempFolder.h"
#include "text/VString.h"

#include <gtest/gtest.h>

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

} // namespace vkit::testing
