// IContentDigest: the running digest a bundle scan feeds each file's bytes to.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace vkit {

/// A running digest of one content at a time. The scan gives each of its threads a clone and feeds it
/// one file after another: Reset, Update as the bytes are read, Finish.
class IContentDigest {
public:
    virtual ~IContentDigest() = default;
    /// Starts a new content.
    virtual void Reset() = 0;
    /// Adds the next bytes of the content.
    virtual void Update(const unsigned char* inBytes, size_t inSize) = 0;
    /// The digest of the bytes added since Reset (raw bytes).
    virtual std::string Finish() = 0;
    /// A new digest of the same kind, for another thread.
    virtual std::unique_ptr<IContentDigest> Clone() const = 0;
};

} // namespace vkit
