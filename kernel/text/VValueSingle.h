// VValueSingle: a scalar value with its text, XML and JSON forms.
#pragma once

#include "text/VValue.h"

#include <cstdint>

namespace vkit {

class VString;

/// A scalar value (boolean, integer, real, string, UUID, time, duration). Each converts to and from
/// the plain text form (GetString, FromString), the XML attribute form (GetXMLString, FromXMLString)
/// and the JSON form (GetJSONString).
class VValueSingle : public VValue {
public:
    using VValue::VValue;

    /// A new value of the same class holding the same value and null flag (the caller deletes it).
    virtual VValueSingle* Clone() const = 0;

    /// The plain text form.
    virtual void GetString(VString& outText) const = 0;
    /// Sets the value from its plain text form; takes over the text's null flag.
    virtual void FromString(const VString& inText) = 0;

    /// The form written in XML attributes; by default the plain text form.
    virtual void GetXMLString(VString& outText) const;
    /// Reads the XML attribute form; answers false (value unchanged) when the text is not one.
    virtual bool FromXMLString(const VString& inText);

    /// The JSON form: a JSON literal (quoted and escaped for text). By default the plain text form.
    virtual void GetJSONString(VString& outText) const;

    /// Sets the value from another value of any kind, copying its null flag.
    virtual void FromValue(const VValueSingle& inValue) = 0;

    /// Conversions to native types; a null value converts to 0 or false.
    virtual bool GetBoolean() const = 0;
    virtual int32_t GetLong() const = 0;
    virtual int64_t GetLong8() const = 0;
    virtual double GetReal() const = 0;

    /// Sets the value from a native number or boolean, converted to the value's own type; clears the
    /// null flag.
    virtual void FromBoolean(bool inValue) = 0;
    virtual void FromLong(int32_t inValue) = 0;
    virtual void FromLong8(int64_t inValue) = 0;
    virtual void FromReal(double inValue) = 0;

    /// True when both values are of the same kind and equal (strings compared exactly when
    /// inDiacritical is true, else through the international comparison).
    virtual bool EqualToSameKind(const VValueSingle& inOther, bool inDiacritical) const = 0;

    /// Appends the plain text form (the "%V" conversion of values). Returns the buffer.
    VString& DebugDump(VString& ioDump) const override;
};

} // namespace vkit
