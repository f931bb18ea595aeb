#include "BrowserUI/Settings/SettingsSection.h"

#include "BrowserUI/Widgets/PanelWidgets.h"

namespace vesk {

std::string title(SettingsSection section) {
    switch (section) {
    case SettingsSection::agent: return ui::localized("agent");
    case SettingsSection::page: return ui::localized("page");
    case SettingsSection::flows: return ui::localized("flows");
    case SettingsSection::profiles: return ui::localized("profiles");
    case SettingsSection::credentials: return ui::localized("credentials");
    }
    return {};
}

std::string blurb(SettingsSection section) {
    switch (section) {
    case SettingsSection::agent: return ui::localized("How the agent's work is measured.");
    case SettingsSection::page:
        return ui::localized("How long the browser waits for the page before answering the agent.");
    case SettingsSection::flows:
        return ui::localized("Where flows are saved and how long each step waits when replayed.");
    case SettingsSection::profiles: return ui::localized("The cookies, logins and variables of each profile.");
    case SettingsSection::credentials:
        return ui::localized("The logins the agent types on their sites. Their values stay in the keychain.");
    }
    return {};
}

} // namespace vesk
