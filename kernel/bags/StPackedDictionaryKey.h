// StPackedDictionaryKey: the name of a bag attribute or element as UTF-8 bytes with their hash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vkit {

class VString;

/// A dictionary key: UTF-8 bytes with their length and a hash of them. A key made from a C string
/// points at the caller's bytes, which must outlive it (keys declared process-wide use literals and
/// are constant-initialized); a key made from a VString, or with inOwnCopy, holds its own copy.
/// Keys are equal when their bytes are equal.
class StPackedDictionaryKey {
public:
    /// A key on a 0-terminated UTF-8 text, not copied. A null pointer gives the empty key.
    constexpr StPackedDictionaryKey(const char* inKey) noexcept
        : StPackedDictionaryKey(inKey, inKey == nullptr ? 0 : std::char_traits<char>::length(inKey)) {}
    /// A key on inLength bytes, not copied.
    constexpr StPackedDictionaryKey(const char* inKey, size_t inLength) noexcept
        : fKey(inKey == nullptr ? "" : inKey), fLength(inKey == nullptr ? 0 : inLength),
          fHash(GetHashCode(fKey, fLength)) {}
    /// A key on inLength bytes, copied when inOwnCopy is true.
    StPackedDictionaryKey(const char* inKey, size_t inLength, bool inOwnCopy);
    /// A key holding the UTF-8 form of inKey.
    explicit StPackedDictionaryKey(const VString& inKey);
    /// Copies the bytes when inOther owns its bytes, else points at the same bytes.
    StPackedDictionaryKey(const StPackedDictionaryKey& inOther);
    StPackedDictionaryKey(StPackedDictionaryKey&& inOther) noexcept;
    StPackedDictionaryKey& operator=(const StPackedDictionaryKey& inOther);
    StPackedDictionaryKey& operator=(StPackedDictionaryKey&& inOther) noexcept;
    constexpr ~StPackedDictionaryKey() { delete[] fOwned; }

    constexpr const char* GetKey() const noexcept { return fKey; }
    constexpr size_t GetKeyLength() const noexcept { return fLength; }
    constexpr std::string_view GetView() const noexcept { return {fKey, fLength}; }
    constexpr size_t GetHashCode() const noexcept { return fHash; }
    constexpr bool IsEmpty() const noexcept { return fLength == 0; }
    /// True when the key holds its own copy of the bytes.
    bool IsOwned() const noexcept { return fOwned != nullptr; }
    /// The name as a string.
    void GetName(VString& outName) const;

    constexpr bool operator==(const StPackedDictionaryKey& inOther) const noexcept {
        return fHash == inOther.fHash && GetView() == inOther.GetView();
    }

    /// The hash of inLength bytes (FNV-1a), as used by the bag dictionaries.
    static constexpr size_t GetHashCode(const char* inKey, size_t inLength) noexcept {
        uint64_t hash = 0xcbf29ce484222325ULL;
        for (size_t i = 0; i < inLength; ++i) {
            hash ^= static_cast<unsigned char>(inKey[i]);
            hash *= 0x100000001b3ULL;
        }
        return static_cast<size_t>(hash);
    }

private:
    void _CopyFrom(const char* inKey, size_t inLength);

    const char* fKey;
    size_t fLength;
    size_t fHash;
    char* fOwned = nullptr;
};

} // namespace vkit
