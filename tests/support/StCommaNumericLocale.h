// StCommaNumericLocale: for the life of the object, the C library's numeric locale has a comma as its
// decimal point.
#pragma once

#include "support/VTestTempFolder.h"

#include <clocale>
#include <cstdlib>

namespace vkit::testing {

/// Compiles a locale whose decimal point is a comma into a temporary folder (none is installed on a
/// bare system) and makes it the numeric locale; restores "C" afterwards. IsActive is false when
/// localedef could not build it: tests then skip.
class StCommaNumericLocale {
public:
    StCommaNumericLocale() {
        fFolder.WriteFile("comma.src", "LC_NUMERIC\ndecimal_point \",\"\nthousands_sep \"\"\n"
                                       "grouping -1\nEND LC_NUMERIC\n");
        // localedef warns (status 1) about the categories the source leaves out.
        RunShell("localedef -c -i '" + fFolder / "comma.src" + "' -f UTF-8 '" + fFolder / "xx_XX.UTF-8" +
                 "' >/dev/null 2>&1");
        ::setenv("LOCPATH", fFolder.Path().c_str(), 1);
        fActive = std::setlocale(LC_NUMERIC, "xx_XX.UTF-8") != nullptr;
    }
    StCommaNumericLocale(const StCommaNumericLocale&) = delete;
    StCommaNumericLocale& operator=(const StCommaNumericLocale&) = delete;
    ~StCommaNumericLocale() {
        std::setlocale(LC_NUMERIC, "C");
        ::unsetenv("LOCPATH");
    }
    bool IsActive() const { return fActive; }

private:
    VTestTempFolder fFolder;
    bool fActive = false;
};

} // namespace vkit::testing
