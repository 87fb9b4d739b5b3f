// StBagKeyNoDefault: a bag attribute name bound to the value class that stores it.
#pragma once

#include "bags/StPackedDictionaryKey.h"
#include "bags/VValueBag.h"

#include <type_traits>

namespace vkit {

/// A typed attribute key: values of native type T stored in the bag as objects of class V (VString,
/// VLong, VLong8, VBoolean, VReal, VUUID...). T is V itself or the type V::Get returns or converts to.
/// Keys are declared once, process-wide; a key on a literal is constant-initialized.
template <class T, class V>
class StBagKeyNoDefault : public StPackedDictionaryKey {
public:
    using NativeType = T;
    using ValueClass = V;

    constexpr explicit StBagKeyNoDefault(const char* inKey) noexcept : StPackedDictionaryKey(inKey) {}

    /// Reads the attribute, converted to class V; false, with outValue untouched, when it is missing.
    bool Get(const VValueBag& inBag, T& outValue) const {
        if constexpr (std::is_same_v<T, V>) {
            return inBag.GetAttribute(*this, outValue);
        } else {
            V value;
            if (!inBag.GetAttribute(*this, value))
                return false;
            outValue = static_cast<T>(value.Get());
            return true;
        }
    }

    /// Sets the attribute to the value, stored as class V.
    void Set(VValueBag& ioBag, const T& inValue) const {
        if constexpr (std::is_same_v<T, V>)
            ioBag.SetAttribute(*this, inValue);
        else
            ioBag.SetAttribute(*this, V(inValue));
    }

    bool HasAttribute(const VValueBag& inBag) const noexcept { return inBag.AttributeExists(*this); }
    /// Removes the attribute; false when it was missing.
    bool Remove(VValueBag& ioBag) const { return ioBag.RemoveAttribute(*this); }
};

} // namespace vkit
