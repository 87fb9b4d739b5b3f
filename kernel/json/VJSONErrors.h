// VJSONErrors: the JSON forms of error objects and error contexts.
#pragma once

namespace vkit {

class VErrorBase;
class VErrorContext;
class VJSONObject;
class VJSONValue;

/// JSON forms of errors, kept here because the errors library sits below JSON.
class VJSONErrors {
public:
    /// A new object (one reference, the caller's) with "errCode" (the error number), "componentSignature"
    /// (the four characters of the component) and "message" (the error's description).
    static VJSONObject* CreateJSONObject(const VErrorBase& inError);
    /// Sets outValue to an array holding CreateJSONObject of each error of the context in order, or to
    /// undefined when the context is empty.
    static void SaveToJSONArray(const VErrorContext& inContext, VJSONValue& outValue);
};

} // namespace vkit
