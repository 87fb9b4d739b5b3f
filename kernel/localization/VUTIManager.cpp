// VUTIManager: the localization store of the type-identifier manager.
#include "localization/VUTIManager.h"

#include <atomic>

namespace vkit {

namespace {

std::atomic<VLocalizationManager*> sLocalizationManager{nullptr};

} // namespace

void VUTIManager::SetLocalizationManager(VLocalizationManager* inManager) noexcept {
    sLocalizationManager.store(inManager, std::memory_order_release);
}

VLocalizationManager* VUTIManager::GetLocalizationManager() noexcept {
    return sLocalizationManager.load(std::memory_order_acquire);
}

} // namespace vkit
