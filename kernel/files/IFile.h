// IFile: the interface of files: content, deletion, size, copies, and the text content helpers.
#pragma once

#include "files/IFileSystemObject.h"
#include "files/VFileOptions.h"
#include "files/VFileTextCodec.h"

#include <cstddef>
#include <cstdint>

namespace vkit {

class VFile;
class VFolder;
class VJSONValue;
class VMemoryBuffer;

/// A file on disk.
class IFile : public IFileSystemObject {
public:
    /// Reads the whole content into outContent (replacing it), links followed. Answers 0 or the error
    /// pushed (602 when the file cannot be opened, the descriptor's errors while reading).
    [[nodiscard]] virtual VError GetContent(VMemoryBuffer& outContent) const = 0;
    /// Reads inCount bytes from inPosition into outBuffer, links followed; outRead (when given) receives
    /// how many were read. Fewer bytes than asked (the end of the file) answer 200 with what was read.
    /// Answers 0 or the error pushed (602, the descriptor's errors).
    [[nodiscard]] virtual VError GetData(void* outBuffer, size_t inCount, int64_t inPosition = 0,
                                         size_t* outRead = nullptr) const = 0;
    /// Replaces the whole content, creating the file and its missing parent folders. Answers 0 or the
    /// error pushed (652 for a folder, 602, the descriptor's errors).
    [[nodiscard]] virtual VError SetContent(const void* inData, size_t inSize) const = 0;
    /// Writes at the end of the file, creating it and its missing parent folders.
    [[nodiscard]] virtual VError AppendContent(const void* inData, size_t inSize) const = 0;
    /// Removes the file (a link itself, a FIFO, socket or device too); 0 when no file is there (nothing,
    /// or a folder, which is left alone). Pushes 604.
    [[nodiscard]] virtual VError Delete() const = 0;
    /// Whether the process may write the file.
    virtual bool IsWritable() const = 0;
    /// The size in bytes, links followed. Pushes 608.
    [[nodiscard]] virtual VError GetSize(int64_t* outSize) const = 0;
    /// Copies the file to inDestination. Pushes 605.
    [[nodiscard]] virtual VError CopyTo(const VFile& inDestination, FileCopyOptions inOptions) const = 0;
    /// Copies the file into inDestination under its own name. Pushes 605.
    [[nodiscard]] virtual VError CopyTo(const VFolder& inDestination, VFile** outFile,
                                        FileCopyOptions inOptions) const = 0;

    /// Reads the whole content under an error context of its own and decodes it (a byte-order mark
    /// takes precedence over inCharSet), then converts the line ends. Answers the last error of that
    /// context, which then passes to the caller's; outText is cleared on failure.
    [[nodiscard]] VError GetContentAsString(VString& outText, CharSet inCharSet,
                                            ECarriageReturnMode inMode) const;
    /// Reads the whole content as text (GetContentAsString, line ends made CR) and parses it as JSON
    /// with the importer's option 0x200 (VJSONImporter::ParseFileContent; defined by the JSON library,
    /// which a caller links). Answers 0, the file's error, or the JSON error 550 after the parse errors
    /// naming the file's path and the line.
    [[nodiscard]] VError GetContentAsJSON(VJSONValue& outValue, CharSet inCharSet = eCharSetUTF8) const;
    /// Converts the line ends, encodes the text (the set's byte-order mark first when inWithBOM and the
    /// text is not empty) and writes it with SetContent.
    [[nodiscard]] VError SetContentAsString(const VString& inText, CharSet inCharSet,
                                            ECarriageReturnMode inMode, bool inWithBOM) const;

protected:
    ~IFile() override = default;
};

} // namespace vkit
