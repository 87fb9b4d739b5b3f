// VFileSystemNamespace: short names for root folders, and path texts "/name/relative path" inside them.
#pragma once

#include "errors/VErrorCodes.h"
#include "files/VFilePath.h"
#include "runtime/VCriticalSection.h"
#include "text/IRefCountable.h"
#include "text/VObject.h"
#include "text/VString.h"

#include <cstdint>
#include <functional>
#include <string_view>
#include <unordered_map>

namespace vkit {

class IFile;
class IFolder;
class VFile;
class VFileSystem;

/// A file of file-system definitions could not be read or parsed as JSON (parameter "path").
constexpr VError VE_FS_INVALID_DEFINITION_FILE = MakeVError(kComponentVkit, 687);

/// Flags of the namespace lookups.
using FileSystemLookupFlags = uint32_t;
/// A file system registered with option 16 (VFileSystem::kOptionHidden) is not returned.
constexpr FileSystemLookupFlags kLookupRestricted = 1;
/// A name not found here is looked up in the parent namespaces.
constexpr FileSystemLookupFlags kLookupInParents = 2;

/// Maps names to root folders (VFileSystem), so that a text "/name/relative path" names an item inside
/// a known root without knowing where it lies, and cannot leave it: a relative path whose "../" steps
/// lead out of the root does not resolve. The map is read and written only under the namespace's lock,
/// and lookups retain what they return before the lock is released. A namespace may have a parent,
/// consulted by lookups with kLookupInParents.
class VFileSystemNamespace : public VObject, public IRefCountable {
public:
    struct NameHash {
        size_t operator()(const VString& inName) const noexcept {
            return std::hash<std::u16string_view>{}(inName.View());
        }
    };
    /// Names to file systems, each holding one reference.
    using Map = std::unordered_map<VString, VRefPtr<VFileSystem>, NameHash>;

    /// A namespace (one reference, the caller's) whose lookups may continue in inParent (retained; may
    /// be null).
    explicit VFileSystemNamespace(VFileSystemNamespace* inParent = nullptr);
    VFileSystemNamespace(const VFileSystemNamespace&) = delete;
    VFileSystemNamespace& operator=(const VFileSystemNamespace&) = delete;

    /// Stores inFileSystem (retained) under its name, replacing and releasing one of the same name. A
    /// null file system is ignored.
    void RegisterFileSystem(VFileSystem* inFileSystem);
    /// Creates a file system (VFileSystem::Create, no quota) and registers it. Answers the creation's
    /// error (686 for an empty name or one holding "/", pushed; nothing is registered then).
    [[nodiscard]] VError RegisterFileSystem(const VString& inName, IFolder* inRoot, uint32_t inOptions);
    /// Removes a name; nothing happens when it is not registered.
    void UnregisterFileSystem(const VString& inName);

    /// The file system of that name (retained for the caller), or null. kLookupInParents: a name not
    /// found here is looked up in the parent chain. kLookupRestricted: a file system with option 16 is
    /// not returned (null then).
    VFileSystem* RetainFileSystem(const VString& inName, FileSystemLookupFlags inFlags) const;
    /// The root folder of the named file system (retained for the caller), or null.
    IFolder* RetainFileSystemRootFolder(const VString& inName, FileSystemLookupFlags inFlags) const;
    /// Replaces outMap with a copy of this namespace's map (the parents' are not included).
    void RetainMapOfFileSystems(Map& outMap) const;

    /// Splits "/name/relative" into a file system (looked up with inFlags) and the relative POSIX text,
    /// resolved inside its root ("x/../y" gives "y"). False, outFileSystem null, when the text does not
    /// begin with "/" or holds no second "/", when no file system has that name, or when the relative
    /// text leads out of the root. On success outFileSystem is retained for the caller.
    bool ParsePathWithFileSystem(const VString& inText, VFileSystem** outFileSystem, VString& outRelative,
                                 FileSystemLookupFlags inFlags) const;

    /// The file named by a POSIX-style text (retained for the caller), or null. An empty text gives
    /// null. A text "/name/relative" names a file inside a registered root (the file carries that file
    /// system); a relative text that is empty or ends with "/" names no file. Another text beginning
    /// with "/" (or one naming no root) is a full POSIX path only when no base is given and
    /// inAllowFullPath. Any other text is relative to inBase when given, else a full path when
    /// inAllowFullPath, else null.
    IFile* RetainFile(const VString& inText, const IFolder* inBase, FileSystemLookupFlags inFlags,
                      bool inAllowFullPath) const;
    /// As RetainFile for a folder; a text beginning with "/" gets a final "/" when it has none, and a
    /// relative text that is empty names the root itself.
    IFolder* RetainFolder(const VString& inText, const IFolder* inBase, FileSystemLookupFlags inFlags,
                          bool inAllowFullPath) const;

    /// Registers the roots listed in a JSON definition file: a top-level array whose object elements
    /// (others are skipped) give "name", "path" (a folder; "/" is appended unless it ends with "/" or
    /// "\\"), "parent" and "writable" (option 1). With a non-empty "parent", "path" is relative to the
    /// root of the file system of that name (looked up with kLookupInParents); otherwise it is a full
    /// POSIX path. An element without a "path" text, or whose parent is not registered, registers
    /// nothing; an invalid name pushes 686 (see RegisterFileSystem) and the reading goes on. Each
    /// element is registered under the namespace's lock. Returns 0; vkit 1 (pushed) for a null file;
    /// VE_FS_INVALID_DEFINITION_FILE (pushed with "path", the POSIX path, after the parse's own
    /// errors) when the file cannot be read or parsed. Defined with the JSON library, which links it.
    [[nodiscard]] VError LoadFromDefinitionFile(VFile* inFile);

private:
    ~VFileSystemNamespace() override;
    /// The full path of "/name/relative" inside its root when the relative text names the kind asked
    /// for (a folder: empty or ending with "/"); outFileSystem receives the root's file system.
    bool _ResolveInRoot(const VString& inText, FileSystemLookupFlags inFlags, bool inFolder,
                        VFilePath& outPath, VRefPtr<VFileSystem>& outFileSystem) const;

    mutable VCriticalSection fLock;
    Map fMap;
    VFileSystemNamespace* fParent;
};

} // namespace vkit
