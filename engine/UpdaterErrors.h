// The engine's errors: made with the paths they name and pushed on the current error context.
#pragma once

#include "errors/VErrorCodes.h"

#include <initializer_list>

namespace vkit {
class StErrorContextInstaller;
class StPackedDictionaryKey;
class VErrorBase;
class VFilePath;
} // namespace vkit

namespace zq {

/// The names of the engine's path parameters, as its error texts use them.
extern const vkit::StPackedDictionaryKey kPathKey;
extern const vkit::StPackedDictionaryKey kSrcPathKey;
extern const vkit::StPackedDictionaryKey kDstPathKey;
extern const vkit::StPackedDictionaryKey kFromKey;
extern const vkit::StPackedDictionaryKey kToKey;
extern const vkit::StPackedDictionaryKey kFolderKey;
extern const vkit::StPackedDictionaryKey kJournalKey;
extern const vkit::StPackedDictionaryKey kOutdatedAtKey;
extern const vkit::StPackedDictionaryKey kUpToDateAtKey;

/// One path parameter of an engine error: its name (kPathKey, kFromKey, ...) and the path, whose text
/// as a person reads it the parameter holds (vkit::VFileError::SetPathParameter).
struct UpdaterErrorPath {
    const vkit::StPackedDictionaryKey& fName;
    const vkit::VFilePath& fPath;
};

/// A new error for inCode with these path parameters, for the current task; the caller pushes it.
vkit::VErrorBase* MakeUpdaterError(vkit::VError inCode, std::initializer_list<UpdaterErrorPath> inPaths = {});
/// Makes the error and pushes it on the current error context.
void PushUpdaterError(vkit::VError inCode, std::initializer_list<UpdaterErrorPath> inPaths = {});

/// True when the guard's context holds an error: how each stage of the engine is judged.
bool HoldsError(const vkit::StErrorContextInstaller& inContext) noexcept;

} // namespace zq
