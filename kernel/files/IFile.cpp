// IFile: the text content helpers shared by every file.
#include "files/IFile.h"

#include "errors/StErrorContextInstaller.h"
#include "errors/VErrorThrow.h"
#include "files/VMemoryBuffer.h"

namespace vkit {

VError IFile::GetContentAsString(VString& outText, CharSet inCharSet, ECarriageReturnMode inMode) const {
    StErrorContextInstaller context;
    VMemoryBuffer content;
    VError result = GetContent(content);
    if (result == VE_OK) {
        VFileTextCodec::FromBlockWithOptionalBOM(content.GetDataPtr(), content.GetDataSize(), inCharSet,
                                                 outText);
        VFileTextCodec::ConvertCarriageReturns(outText, inMode);
    }
    // The context's last error, or the result where nothing was pushed (error layer not started).
    VError error = context.GetLastError() != VE_OK ? context.GetLastError() : result;
    if (error != VE_OK)
        outText.Clear();
    return error;
}

VError IFile::SetContentAsString(const VString& inText, CharSet inCharSet, ECarriageReturnMode inMode,
                                 bool inWithBOM) const {
    VString text(inText);
    VFileTextCodec::ConvertCarriageReturns(text, inMode);
    VMemoryBuffer content;
    if (!VFileTextCodec::ToBlock(text, inCharSet, inWithBOM, content))
        return vThrowError(VE_MEMORY_FULL);
    return SetContent(content.GetDataPtr(), content.GetDataSize());
}

} // namespace vkit
