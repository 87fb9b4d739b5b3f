// VFileError: parameters naming the item, the fallback description and the two-error push.
#include "files/VFileError.h"

#include "bags/VValueBag.h"
#include "errors/VErrorThrow.h"
#include "errors/VNativeErrorTable.h"
#include "files/VFile.h"
#include "files/VFolder.h"

namespace vkit {

namespace {

const StPackedDictionaryKey kNameKey("name");
const StPackedDictionaryKey kPathKey("path");
const StPackedDictionaryKey kItemKey("item");
const StPackedDictionaryKey kStepKey("step");
const StPackedDictionaryKey kFailedStepKey("failed_step");
const StPackedDictionaryKey kSystemMessageKey("system_message");

/// The English text of an operation, the start of the description when no localizer has one.
const char* OperationText(VError inCode) {
    switch (NumberFromVError(inCode)) {
    case 600:
        return "No item was found at";
    case 601:
        return "Cannot rename the file";
    case 602:
        return "Cannot open the file";
    case 604:
        return "Cannot delete the file";
    case 605:
        return "Cannot copy the file";
    case 606:
        return "Cannot move the file";
    case 607:
        return "Cannot create the file";
    case 608:
        return "Cannot read the information of the file";
    case 609:
        return "Cannot change the information of the file";
    case 614:
        return "Invalid name for the item";
    case 651:
        return "The folder is not empty:";
    case 652:
        return "Cannot create the folder";
    case 653:
        return "Cannot delete the folder";
    case 654:
        return "Cannot read the information of the folder";
    case 655:
        return "Cannot change the information of the folder";
    case 657:
        return "Cannot rename or move the folder";
    case 660:
        return "Cannot copy the folder";
    case 661:
        return "Cannot move the folder to the trash";
    case 662:
        return "The file system cannot exchange in one step the folder";
    case 200:
        return "End of file reached in";
    case 213:
        return "Cannot read from the file";
    case 214:
        return "Cannot write to the file";
    case 215:
        return "Cannot read the position in the file";
    case 216:
        return "Cannot move the position in the file";
    case 217:
        return "Cannot read the size of the file";
    case 218:
        return "Cannot change the size of the file";
    case 219:
        return "Cannot flush the file";
    default:
        return "File operation failed on";
    }
}

} // namespace

VFileError::VFileError(const VFile* inFile, VError inCode)
    : VFileError(inFile != nullptr ? inFile->GetPath() : VFilePath(), inCode) {}

VFileError::VFileError(const VFolder* inFolder, VError inCode)
    : VFileError(inFolder != nullptr ? inFolder->GetPath() : VFilePath(), inCode) {}

VFileError::VFileError(const VFilePath& inPath, VError inCode) : VFileError(inPath, inCode, inCode, VE_OK) {}

VFileError::VFileError(const VFilePath& inPath, VError inCode, VError inOperationCode, VError inSystemError)
    : VErrorBase(inCode), fPath(inPath) {
    _SetParameters(inOperationCode, inSystemError);
}

VFileError::~VFileError() = default;

void VFileError::_SetParameters(VError inOperationCode, VError inSystemError) {
    VString name;
    fPath.GetName(name);
    VValueBag& bag = GetBag();
    bag.SetString(kNameKey, name);
    SetPathParameter(bag, kPathKey, fPath);
    VString description(OperationText(inOperationCode));
    description.AppendCString(" \"{path}\"");
    VString systemText;
    GetNativeErrorText(inSystemError, systemText);
    if (!systemText.IsEmpty()) {
        description.AppendCString(": ");
        description.AppendString(systemText);
    }
    bag.SetString(ErrorBagKeys::error_description, description);
}

void VFileError::SetPathParameter(VValueBag& ioBag, const StPackedDictionaryKey& inKey,
                                  const VFilePath& inPath) {
    ioBag.SetString(inKey, inPath.IsValid() ? inPath.GetPath(FilePathStyle::Posix) : inPath.GetPath());
}

void VFileError::SetFailedStep(const char* inStep, const std::string& inPosixPath) {
    VString step(inStep != nullptr ? inStep : "");
    if (step.IsEmpty() && inPosixPath.empty())
        return;
    VValueBag& bag = GetBag();
    VString description;
    bag.GetString(ErrorBagKeys::error_description, description);
    description.AppendCString(" (");
    if (!step.IsEmpty()) {
        bag.SetString(kStepKey, step);
        description.AppendCString(inPosixPath.empty() ? "{step}" : "{step} ");
    }
    if (!inPosixPath.empty()) {
        VString item;
        item.AppendUTF8KeepingBytes(inPosixPath.data(), inPosixPath.size());
        bag.SetString(kItemKey, item);
        description.AppendCString("\"{item}\"");
    }
    description.AppendUniChar(u')');
    bag.SetString(ErrorBagKeys::error_description, description);
    // The same words as one parameter, for a localized text that names them only when they exist.
    VString failedStep(" (");
    failedStep.AppendString(step);
    if (!step.IsEmpty() && !inPosixPath.empty())
        failedStep.AppendUniChar(u' ');
    if (!inPosixPath.empty()) {
        failedStep.AppendUniChar(u'"');
        failedStep.AppendUTF8KeepingBytes(inPosixPath.data(), inPosixPath.size());
        failedStep.AppendUniChar(u'"');
    }
    failedStep.AppendUniChar(u')');
    bag.SetString(kFailedStepKey, failedStep);
}

void VFileError::SetSystemMessage(const std::string& inMessage) {
    if (inMessage.empty())
        return;
    VValueBag& bag = GetBag();
    VString message;
    message.AppendUTF8KeepingBytes(inMessage.data(), inMessage.size());
    bag.SetString(kSystemMessageKey, message);
    VString description;
    bag.GetString(ErrorBagKeys::error_description, description);
    description.AppendCString(" ({system_message})");
    bag.SetString(ErrorBagKeys::error_description, description);
}

void VFileError::SetReason(const char* inReason) {
    VValueBag& bag = GetBag();
    VString description;
    bag.GetString(ErrorBagKeys::error_description, description);
    description.AppendCString(": ");
    description.AppendCString(inReason);
    bag.SetString(ErrorBagKeys::error_description, description);
}

VError VFileError::Push(VError inFirstCode) {
    VError code = GetError();
    _PushRetainedError(this, inFirstCode);
    return code;
}

VFileError* VFileError::_MakeForSystemError(const VFilePath& inPath, VError inResult,
                                            VError inOperationCode) {
    return new VFileError(inPath, EncodedNativeErrorToVError(inResult, inOperationCode), inOperationCode,
                          inResult);
}

VError VFileError::Throw(const VFilePath& inPath, VError inCode) {
    return (new VFileError(inPath, inCode))->Push(inCode);
}

} // namespace vkit
