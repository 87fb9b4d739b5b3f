// VFileSystem: a named root folder that files and folders built inside it may carry.
#pragma once

#include "errors/VErrorCodes.h"
#include "files/VFilePath.h"
#include "text/IRefCountable.h"
#include "text/VObject.h"
#include "text/VString.h"

#include <cstdint>

namespace vkit {

class IFolder;

/// The root is not writable.
constexpr VError VE_FS_NOT_WRITABLE = MakeVError(kComponentVkit, 684);
/// The quota leaves fewer bytes than requested.
constexpr VError VE_FS_QUOTA_EXCEEDED = MakeVError(kComponentVkit, 685);
/// The name of a file system is empty or holds "/".
constexpr VError VE_FS_INVALID_NAME = MakeVError(kComponentVkit, 686);

/// A root folder under a short name. Options: bit 1 (value 1) writable, bit 16 (value 16) hidden from
/// restricted lookups. A quota of 0 means none. The quota counters are not locked.
class VFileSystem : public VObject, public IRefCountable {
public:
    static constexpr uint32_t kOptionWritable = 1;
    static constexpr uint32_t kOptionHidden = 16;

    /// A new file system (one reference, the caller's) on inRoot (retained). An empty name or one
    /// holding "/" makes none: error 686 with the parameter "name" is pushed and given in outError.
    static VFileSystem* Create(const VString& inName, IFolder* inRoot, uint32_t inOptions, uint64_t inQuota,
                               uint64_t inUsed, VError* outError = nullptr);
    VFileSystem(const VFileSystem&) = delete;
    VFileSystem& operator=(const VFileSystem&) = delete;

    const VString& GetName() const noexcept { return fName; }
    uint32_t GetOptions() const noexcept { return fOptions; }
    bool IsWritable() const noexcept { return (fOptions & kOptionWritable) != 0; }
    /// The root folder's path.
    const VFilePath& GetRoot() const noexcept;
    /// The root folder, retained for the caller.
    IFolder* RetainRootFolder() const noexcept;
    /// The path is the root or lies inside it (VFilePath::IsSameOrChildOf).
    bool IsAuthorized(const VFilePath& inPath) const;

    /// 684 when not writable; 0 without quota; 685 when fewer than inSize bytes are left; otherwise
    /// the available bytes shrink by inSize.
    [[nodiscard]] VError Request(uint64_t inSize);
    /// 684 when not writable; otherwise, with a quota, the available bytes grow by inSize.
    [[nodiscard]] VError Relinquish(uint64_t inSize);

private:
    VFileSystem(const VString& inName, IFolder* inRoot, uint32_t inOptions, uint64_t inQuota,
                uint64_t inUsed);
    ~VFileSystem() override;

    VString fName;
    IFolder* fRoot;
    uint32_t fOptions;
    uint64_t fQuota;
    uint64_t fAvailable;
};

} // namespace vkit
