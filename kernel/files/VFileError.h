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
/// name) and "path" (its full path as a person reads it, SetPathParameter), plus an English
/// "error_description" naming the operation and the path, used when no localizer has a text for the code.
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

    /// Sets the parameter inKey of an error's bag to inPath as a person reads it: every error text, the
    /// log and the alert show the POSIX path ("/home/ann/x.txt"), the native form staying inside the
    /// library. An invalid path, which has no POSIX text, gives its text as it stands. Every error
    /// parameter that names a path is set here.
    static void SetPathParameter(VValueBag& ioBag, const StPackedDictionaryKey& inKey,
                                 const VFilePath& inPath);

    /// Names the step at which a whole-tree operation stopped (a system call, such as "unlink") and the
    /// item it acted on (a POSIX path inside the tree): the parameters "step" and "item", added to the
    /// description as (unlink "/a/b"), and given whole, with its leading space, as the parameter
    /// "failed_step" (' (unlink "/a/b")'), which a localized text can show. Either may be empty, and is
    /// then left out.
    void SetFailedStep(const char* inStep, const std::string& inPosixPath);

    /// Adds the system's own text of the failure, beside the text of its error code (the trash's message
    /// from GIO): the parameter "system_message", added to the description in parentheses. Nothing for
    /// an empty text.
    void SetSystemMessage(const std::string& inMessage);

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
