// VFileDesc: the operations on an open file, each failure reported as a file error.
#include "files/VFileDesc.h"

#include "files/VFileError.h"

namespace vkit {

VFileDesc::VFileDesc(const VFilePath& inPath, int inFd, FileAccess inAccess)
    : fImpl(inFd), fPath(inPath), fAccess(inAccess) {}

VFileDesc::~VFileDesc() = default;

VError VFileDesc::_Report(VError inResult, VError inOperation) const {
    return VFileError::Report(fPath, inResult, inOperation);
}

VError VFileDesc::GetSize(int64_t* outSize) const {
    int64_t size = 0;
    VError error = _Report(fImpl.GetSize(size), VE_FILE_CANNOT_GET_SIZE);
    if (outSize != nullptr)
        *outSize = size;
    return error;
}

VError VFileDesc::SetSize(int64_t inSize) const {
    return _Report(fImpl.SetSize(inSize), VE_FILE_CANNOT_SET_SIZE);
}

VError VFileDesc::GetData(void* outBuffer, size_t inCount, int64_t inPosition, size_t* outRead) const {
    size_t read = 0;
    VError error = _Report(fImpl.Read(outBuffer, inCount, inPosition, read), VE_FILE_CANNOT_READ);
    if (outRead != nullptr)
        *outRead = read;
    if (error == VE_OK && read < inCount)
        error = (new VFileError(fPath, VE_STREAM_EOF))->Push(VE_OK);
    return error;
}

VError VFileDesc::PutData(const void* inBuffer, size_t inCount, int64_t inPosition,
                          size_t* outWritten) const {
    size_t written = 0;
    VError error = _Report(fImpl.Write(inBuffer, inCount, inPosition, written), VE_FILE_CANNOT_WRITE);
    if (outWritten != nullptr)
        *outWritten = written;
    return error;
}

VError VFileDesc::GetPos(int64_t* outPosition) const {
    int64_t position = 0;
    VError error = _Report(fImpl.GetPosition(position), VE_FILE_CANNOT_GET_POSITION);
    if (outPosition != nullptr)
        *outPosition = position;
    return error;
}

VError VFileDesc::SetPos(int64_t inPosition, bool inFromEnd) const {
    return _Report(fImpl.SetPosition(inPosition, inFromEnd), VE_FILE_CANNOT_SET_POSITION);
}

VError VFileDesc::Flush() const {
    return _Report(fImpl.Flush(), VE_FILE_CANNOT_FLUSH);
}

} // namespace vkit
