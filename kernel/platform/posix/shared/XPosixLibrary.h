// XPosixLibrary: shared libraries loaded while the program runs, for what only some runs need.
#pragma once

#include <string>

namespace vkit {

/// A shared library loaded with dlopen when a run first needs it, rather than by the dynamic loader at
/// every start. A library once loaded stays until the process ends (it may have started threads or
/// left handlers behind), so the object only names it.
class XPosixLibrary {
public:
    XPosixLibrary() noexcept = default;

    /// Loads the library at inPathOrName: a path (holding a "/"), or a file name that the dynamic
    /// loader looks for along the program's run path, LD_LIBRARY_PATH and the system's folders. Every
    /// symbol is bound now, so that a missing one fails here. Returns false, outMessage holding the
    /// dynamic loader's text, when it cannot be loaded.
    bool Open(const char* inPathOrName, std::string& outMessage);

    bool IsOpen() const noexcept { return fHandle != nullptr; }

    /// The function named inName of the library and of the libraries it brought, as a pointer of type
    /// Function. Returns null, outMessage holding the dynamic loader's text, when it has none.
    template <class Function>
    Function GetFunction(const char* inName, std::string& outMessage) const {
        return reinterpret_cast<Function>(_GetSymbol(inName, outMessage));
    }

private:
    void* _GetSymbol(const char* inName, std::string& outMessage) const;

    void* fHandle = nullptr;
};

} // namespace vkit
