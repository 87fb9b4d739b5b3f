// VUTIManager: the type-identifier manager; here it only holds the localization store its descriptions
// would come from.
#pragma once

namespace vkit {

class VLocalizationManager;

/// The process's type-identifier manager. It keeps the localization store it is given (not owned): the
/// owner clears it before releasing the store.
class VUTIManager {
public:
    VUTIManager() = delete;

    static void SetLocalizationManager(VLocalizationManager* inManager) noexcept;
    static VLocalizationManager* GetLocalizationManager() noexcept;
};

} // namespace vkit
