// StBagKeyWithDefault: a typed bag attribute name whose missing attribute means a default value.
#pragma once

#include "bags/StBagKeyNoDefault.h"

#include <utility>

namespace vkit {

/// A typed attribute key with a default: reading a missing attribute gives the default, and writing
/// the default removes the attribute, so that bags only hold values that differ from it.
template <class T, class V>
class StBagKeyWithDefault : public StBagKeyNoDefault<T, V> {
public:
    constexpr StBagKeyWithDefault(const char* inKey, T inDefault)
        : StBagKeyNoDefault<T, V>(inKey), fDefault(std::move(inDefault)) {}

    const T& GetDefault() const noexcept { return fDefault; }

    /// The attribute's value, or the default when it is missing.
    T Get(const VValueBag& inBag) const {
        T value = fDefault;
        Get(inBag, value);
        return value;
    }
    /// Reads the attribute; when it is missing, outValue receives the default and the answer is false.
    bool Get(const VValueBag& inBag, T& outValue) const {
        if (StBagKeyNoDefault<T, V>::Get(inBag, outValue))
            return true;
        outValue = fDefault;
        return false;
    }

    /// Sets the attribute, or removes it when the value is the default.
    void Set(VValueBag& ioBag, const T& inValue) const {
        if (inValue == fDefault)
            this->Remove(ioBag);
        else
            StBagKeyNoDefault<T, V>::Set(ioBag, inValue);
    }

private:
    T fDefault;
};

} // namespace vkit
