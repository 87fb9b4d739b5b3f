// VJSONErrors: error objects and contexts as JSON objects and arrays.
#include "json/VJSONErrors.h"

#include "errors/VErrorBase.h"
#include "errors/VErrorContext.h"
#include "json/VJSONArray.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"

namespace vkit {

VJSONObject* VJSONErrors::CreateJSONObject(const VErrorBase& inError) {
    VJSONObject* object = new VJSONObject;
    VError code = inError.GetError();
    OsType component = ComponentFromVError(code);
    UniChar signature[4];
    for (int i = 0; i < 4; ++i)
        signature[i] = static_cast<UniChar>((component >> (24 - 8 * i)) & 0xFF);
    VString message;
    inError.GetErrorDescription(message);
    object->SetProperty("errCode", VJSONValue(static_cast<double>(NumberFromVError(code))));
    object->SetProperty("componentSignature", VJSONValue(VString(static_cast<const UniChar*>(signature), 4)));
    object->SetProperty("message", VJSONValue(message));
    return object;
}

void VJSONErrors::SaveToJSONArray(const VErrorContext& inContext, VJSONValue& outValue) {
    if (inContext.IsEmpty()) {
        outValue.SetUndefined();
        return;
    }
    VJSONArray* array = new VJSONArray;
    array->Reserve(inContext.GetErrors().size());
    for (const VErrorBase* error : inContext.GetErrors()) {
        VJSONObject* object = CreateJSONObject(*error);
        array->Push(VJSONValue(object));
        object->Release();
    }
    outValue.SetArray(array);
    array->Release();
}

} // namespace vkit
