// Platform side of number reading (POSIX locale objects).
#include "platform/posix/text/XPosixCNumeric.h"

#include <cerrno>
#include <cstdlib>
#include <locale.h>

namespace vkit {

namespace {

locale_t CNumericLocale() noexcept {
    // Created on first use and kept for the life of the process; newlocale is thread-safe.
    static const locale_t sLocale = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
    return sLocale;
}

} // namespace

double XPosixCNumeric::ReadReal(const char* inText, size_t& outConsumed, bool& outRangeError) noexcept {
    char* end = nullptr;
    errno = 0;
    locale_t locale = CNumericLocale();
    double value =
        locale != static_cast<locale_t>(nullptr) ? strtod_l(inText, &end, locale) : std::strtod(inText, &end);
    int error = errno;
    outConsumed = static_cast<size_t>(end - inText);
    outRangeError = error == ERANGE;
    return value;
}

} // namespace vkit
