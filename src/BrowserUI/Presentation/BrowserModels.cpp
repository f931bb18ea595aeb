#include "BrowserUI/Presentation/BrowserModels.h"

#include "BrowserCore/Profiles/ProfileStore.h"
#include "BrowserUI/Presentation/Localized.h"

namespace vesk::ui {

std::string BrowserModels::profileName() const {
    auto current = profiles ? profiles->currentProfile() : std::nullopt;
    return current ? current->name : localized("temporary");
}

} // namespace vesk::ui
