// VFileError: an error about one file or folder, naming it, and the reporting of file-system failures.
#pragma once

#include "errors/VErrorBase.h"
#include "files/VFileErrorCodes.h"
#include "files/VFilePath.h"

#include <string>
#include <utility>

namespace vkit {

class VFile;
class VFolder;

/// An error about one file or folder. At construction it stores the parameters "name" (the item's
/// name) and "path" (its full native path text), plus an English "error_description" naming the
/// operation and the path, used when no localizer has a text for the code.
class VFileError : public VErrorBase {
public:
    VFileError(const VFile* inFile, VError inCode);
    VFileError(const VFolder* inFolder, VError inCode);
    VFileError(const VFilePath& inPath, VError inCode);
    /// As the constructor from a path; the description names inOperationCode's operation and the text
    /// of the system error inSystemError (when not 0) instead of those of inCode.
    VFileError(const VFilePath& inPath, VError inCode, VError inOperationCode, VError inSystemError);
    ~VFileError() override;

    const VFilePath& GetFilePath() const noexcept { return fPath; }

    /// Names the item inside the folder at which a whole-tree operation stopped (POSIX path): the
    /// parameter "item", also added to the description. Nothing for an empty path.
    void SetFailedItem(const std::string& inPosixPath);

    /// Adds the reason for a refusal the library decided itself to the description: ": " + inReason.
    void SetReason(const char* inReason);

    /// Pushes this error (handed over, released here) on the current task, after an error object for
    /// inFirstCode when that is not 0 and the task's context does not filter this error's code.
    /// Answers this error's code.
    [[nodiscard]] VError Push(VError inFirstCode);

    /// Reports the result of a platform operation on inPath. 0 and codes that are not native system
    /// errors are answered unchanged and nothing is pushed. For a system error a file error is made
    /// whose code is EncodedNativeErrorToVError(inResult, inOperationCode), inAddParameters(error) adds
    /// the operation's own parameters, and the system error then the file error are pushed (only the
    /// file error when its code is filtered). Answers the file error's code.
    template <class AddParameters>
    [[nodiscard]] static VError Report(const VFilePath& inPath, VError inResult, VError inOperationCode,
                                       AddParameters&& inAddParameters) {
        if (!IsNativeError(inResult))
            return inResult;
        VFileError* error = _MakeForSystemError(inPath, inResult, inOperationCode);
        std::forward<AddParameters>(inAddParameters)(*error);
        return error->Push(inResult);
    }
    [[nodiscard]] static VError Report(const VFilePath& inPath, VError inResult, VError inOperationCode) {
        return Report(inPath, inResult, inOperationCode, [](VFileError&) {});
    }

    /// Reports a failure the library detected itself (an invalid path, a folder that is not empty): the
    /// code is pushed first as its own error object, then a file error with the same code. Answers inCode.
    [[nodiscard]] static VError Throw(const VFilePath& inPath, VError inCode);

private:
    static VFileError* _MakeForSystemError(const VFilePath& inPath, VError inResult, VError inOperationCode);
    void _SetParameters(VError inOperationCode, VError inSystemError);

    VFilePath fPath;
};

} // namespace vkit
