// StPackedDictionaryKey: owned copies of key bytes and conversion to text.
#include "bags/StPackedDictionaryKey.h"

#include "text/VString.h"

#include <cstring>
#include <utility>

namespace vkit {

StPackedDictionaryKey::StPackedDictionaryKey(const char* inKey, size_t inLength, bool inOwnCopy)
    : StPackedDictionaryKey(inKey, inLength) {
    if (inOwnCopy)
        _CopyFrom(fKey, fLength);
}

StPackedDictionaryKey::StPackedDictionaryKey(const VString& inKey) : fKey(""), fLength(0), fHash(0) {
    std::string utf8 = inKey.ToUTF8();
    _CopyFrom(utf8.data(), utf8.size());
    fHash = GetHashCode(fKey, fLength);
}

StPackedDictionaryKey::StPackedDictionaryKey(const StPackedDictionaryKey& inOther)
    : fKey(inOther.fKey), fLength(inOther.fLength), fHash(inOther.fHash) {
    if (inOther.fOwned != nullptr)
        _CopyFrom(inOther.fKey, inOther.fLength);
}

StPackedDictionaryKey::StPackedDictionaryKey(StPackedDictionaryKey&& inOther) noexcept
    : fKey(inOther.fKey), fLength(inOther.fLength), fHash(inOther.fHash),
      fOwned(std::exchange(inOther.fOwned, nullptr)) {
    inOther.fKey = "";
    inOther.fLength = 0;
    inOther.fHash = GetHashCode("", 0);
}

StPackedDictionaryKey& StPackedDictionaryKey::operator=(const StPackedDictionaryKey& inOther) {
    if (this != &inOther) {
        StPackedDictionaryKey copy(inOther);
        *this = std::move(copy);
    }
    return *this;
}

StPackedDictionaryKey& StPackedDictionaryKey::operator=(StPackedDictionaryKey&& inOther) noexcept {
    if (this != &inOther) {
        delete[] fOwned;
        fKey = std::exchange(inOther.fKey, "");
        fLength = std::exchange(inOther.fLength, 0);
        fHash = std::exchange(inOther.fHash, GetHashCode("", 0));
        fOwned = std::exchange(inOther.fOwned, nullptr);
    }
    return *this;
}

void StPackedDictionaryKey::GetName(VString& outName) const {
    outName.FromUTF8(fKey, fLength);
}

void StPackedDictionaryKey::_CopyFrom(const char* inKey, size_t inLength) {
    char* owned = new char[inLength + 1];
    std::memcpy(owned, inKey, inLength);
    owned[inLength] = 0;
    fOwned = owned;
    fKey = owned;
    fLength = inLength;
}

} // namespace vkit
