#include "BrowserUI/SidePanel/ProfilesPanel.h"

#include "BrowserCore/Profiles/ProfileStore.h"
#include "BrowserCore/Secrets/SiteKey.h"
#include "BrowserCore/Session/BrowserSession.h"
#include "BrowserUI/Presentation/ProfileRows.h"

#include <giomm/menu.h>
#include <giomm/simpleactiongroup.h>
#include <gtkmm/menubutton.h>
#include <gtkmm/scrolledwindow.h>

namespace vesk::ui {

namespace {

Gtk::Widget* profilesSpace() {
    auto* space = Gtk::make_managed<Gtk::Box>();
    space->set_hexpand(true);
    return space;
}

Gtk::Label* oneLine(const std::string& text, const char* colour) {
    auto* made = makeLabel(text, {colour});
    made->set_ellipsize(Pango::EllipsizeMode::MIDDLE);
    return made;
}

std::string joined(const std::vector<std::string>& items) {
    std::string text;
    for (const auto& item : items)
        text += (text.empty() ? "" : ", ") + item;
    return text;
}

// Menu items read an underscore as a mnemonic mark: double it so that a
// name shows as it is.
std::string menuText(const std::string& name) {
    std::string text;
    for (char c : name)
        text += c == '_' ? std::string("__") : std::string(1, c);
    return text;
}

// The names by which the panel's controls keep the keyboard focus across
// its redraws: each profile's controls by the profile's id, so that a
// control whose profile is still there is found again.
std::string group(const std::optional<ProfileID>& profile) {
    return profile ? "profile:" + *profile : "temporary";
}

// Where the focus goes when the control that had it is gone: the way to add
// a variable to the same profile (the "+ variable" button or the form's
// first field), else the field for a new profile; never a control that
// changes anything by a second Return.
std::vector<std::string> focusFallbacks(const std::optional<std::string>& noted) {
    std::vector<std::string> names;
    if (noted) {
        names.push_back(*noted);
        names.push_back(noted->substr(0, noted->find('/')) + "/variable");
    }
    names.push_back("new");
    return names;
}

} // namespace

ProfilesPanel::ProfilesPanel(std::shared_ptr<BrowserSession> session, ProfileStore& profiles)
    : Gtk::Box(Gtk::Orientation::VERTICAL), session_(std::move(session)), profiles_(profiles) {
    add_css_class("panel");
    append(*makeScroller(list_));
    append(failureSlot_);
    append(*makeRule(Gtk::Orientation::HORIZONTAL, "separator"));

    titleField(newName_, localized("New profile"), localized("+ new profile: name and return"));
    newName_.set_tooltip_text(
        localized("Type a name and press return. Each profile keeps its own cookies and logins."));
    newName_.set_size_request(-1, 32);
    pad(newName_, 14, 14, 0, 0);
    newName_.signal_activate().connect(sigc::mem_fun(*this, &ProfilesPanel::createProfile));
    nameForFocus(newName_, "new");
    append(newName_);

    for (auto* signal :
         {&profiles_.profiles.changed(), &profiles_.credentials.changed(), &profiles_.currentID.changed()}) {
        signal->connect(sigc::mem_fun(later_, &LaterDraw::request));
    }
    draw();
}

VariableForm* ProfilesPanel::variableForm(const ProfileID& profile) const {
    auto found = forms_.find(profile);
    return found == forms_.end() ? nullptr : found->second;
}

void ProfilesPanel::act(const std::function<Task<void>()>& start, std::function<void()> then) {
    noteFailureOf(liveness_.token(), failure_, start, [this, then = std::move(then)] {
        if (then && !failure_) then();
        later_.request();
    });
}

void ProfilesPanel::draw() {
    focus_.note(*this);
    clear(list_);
    forms_.clear();
    auto current = profiles_.currentProfile();
    Gtk::Widget* temporary =
        headerRow(localized("temporary"), localized("stores nothing and has no variables"), !current, group({}),
                  [this] { act([this] { return profiles_.selectProfile(std::nullopt); }); });
    pad(*temporary, 14, 14, 10, 10);
    list_.append(*temporary);
    list_.append(*makeRule(Gtk::Orientation::HORIZONTAL, "separator"));
    for (const BrowserProfile& profile : *profiles_.profiles) {
        list_.append(*profileBlock(profile));
        list_.append(*makeRule(Gtk::Orientation::HORIZONTAL, "separator"));
    }
    clear(failureSlot_);
    if (failure_) {
        auto* text = makeFailureText(*failure_);
        pad(*text, 14, 14, 0, 8);
        failureSlot_.append(*text);
    }
    focus_.restore(*this, focusFallbacks(focus_.noted()));
}

Gtk::Widget* ProfilesPanel::headerRow(const std::string& title, const std::string& detail, bool inUse,
                                      const std::string& group, std::function<void()> use) {
    auto* row = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
    auto* words = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 2);
    words->set_hexpand(true);
    auto* name = makeLabel(title, {"text"});
    name->set_ellipsize(Pango::EllipsizeMode::END);
    words->append(*name);
    auto* details = makeLabel(detail, {"secondaryText"});
    details->set_wrap(true);
    words->append(*details);
    readAsOne(*words, title + ", " + detail);
    row->append(*words);
    if (inUse) {
        auto* mark = makeLabel(localized("in use"), {"green"});
        mark->set_valign(Gtk::Align::START);
        row->append(*mark);
    } else {
        auto* button = makePlainButton(localized("use"), {"violet"});
        button->set_valign(Gtk::Align::START);
        describe(*button, localized("Use ") + title, localized("The page starts blank with this profile's cookies."));
        button->signal_clicked().connect(std::move(use));
        nameForFocus(*button, group + "/use");
        row->append(*button);
    }
    return row;
}

Gtk::Widget* ProfilesPanel::profileBlock(const BrowserProfile& profile) {
    auto* block = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 8);
    pad(*block, 14, 14, 10, 10);
    bool isCurrent = profiles_.currentID.get() == profile.id;
    const std::string named = group(profile.id);
    std::string detail = profile.variables.empty()
                             ? localized("no variables")
                             : localizedCount("%lld variables", static_cast<std::int64_t>(profile.variables.size()));
    block->append(*headerRow(profile.name, detail, isCurrent, named,
                             [this, profile] { act([&] { return profiles_.selectProfile(profile); }); }));

    for (const auto& variable : profile.variables) {
        auto* row = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
        auto* reference = makeLabel("${" + variable.name + "}", {"secondaryText"});
        reference->set_ellipsize(Pango::EllipsizeMode::END);
        row->append(*reference);
        row->append(*oneLine(variable.site, "faintText"));
        row->append(*profilesSpace());
        auto* remove = makePlainButton(localized("remove"), {"faintText"});
        describe(*remove, localized("Remove %@ from %@", {variable.name, profile.name}));
        remove->signal_clicked().connect([this, variable, id = profile.id] {
            act([&] { return profiles_.removeVariable(variable.name, variable.site, id); });
        });
        nameForFocus(*remove, named + "/remove " + variable.name + " " + variable.site);
        row->append(*remove);
        block->append(*row);
    }

    addCredentialRows(*block, profile);

    if (isCurrent || expanded_.contains(profile.id)) {
        if (!typed_.contains(profile.id)) {
            // The site of the page on screen when the form first shows; it
            // does not follow later navigation.
            std::optional<std::string> site;
            if (session_->url->has_value()) site = siteKeyOfURL(**session_->url);
            typed_[profile.id].site = site.value_or("");
        }
        auto* form = Gtk::make_managed<VariableForm>(
            typed_[profile.id],
            [this, id = profile.id, named](const std::string& name, const std::string& value, const std::string& site) {
                // Saved, the emptied form takes the next variable from its first field.
                act([&] { return profiles_.setVariable(name, value, site, id); },
                    [this, named] { focus_.moveTo(named + "/variable"); });
            });
        nameForFocus(form->keyField(), named + "/variable");
        nameForFocus(form->valueField(), named + "/value");
        nameForFocus(form->siteField(), named + "/site");
        nameForFocus(form->saveButton(), named + "/save");
        forms_[profile.id] = form;
        block->append(*form);
    } else {
        auto* add = makePlainButton(localized("+ variable"), {"violet"});
        describe(*add, localized("Add a variable to ") + profile.name);
        add->signal_clicked().connect([this, id = profile.id] { openVariableForm(id); });
        nameForFocus(*add, named + "/variable");
        block->append(*add);
    }

    addDeletionRow(*block, profile);
    return block;
}

void ProfilesPanel::addCredentialRows(Gtk::Box& block, const BrowserProfile& profile) {
    ProfileCredentials lists = credentialsOf(*profiles_.credentials, profile.id);
    for (const Credential& credential : lists.shown) {
        auto* row = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
        auto* name = makeLabel(credential.name, {"secondaryText"});
        name->set_ellipsize(Pango::EllipsizeMode::END);
        row->append(*name);
        row->append(*oneLine(joined(credential.sites), "faintText"));
        row->append(*profilesSpace());
        if (credential.global) {
            auto* mark = makeLabel(localized("global"), {"faintText"});
            mark->set_tooltip_text(
                localized("Available in every saved profile, not only in the ones it is assigned to."));
            row->append(*mark);
        } else {
            auto* remove = makePlainButton(localized("remove"), {"faintText"});
            describe(*remove, localized("Remove %@ from %@", {credential.name, profile.name}));
            remove->signal_clicked().connect([this, credential, profile] { assign(credential, false, profile); });
            nameForFocus(*remove, group(profile.id) + "/unassign " + credential.id);
            row->append(*remove);
        }
        block.append(*row);
    }
    if (lists.offered.empty()) return;

    auto actions = Gio::SimpleActionGroup::create();
    auto menu = Gio::Menu::create();
    for (const Credential& credential : lists.offered) {
        std::string action = "assign" + std::to_string(menu->get_n_items());
        actions->add_action(action, [this, credential, profile] { assign(credential, true, profile); });
        menu->append(menuText(credential.name), "credentials." + action);
    }
    auto* button = Gtk::make_managed<Gtk::MenuButton>();
    button->add_css_class("plain");
    button->set_has_frame(false);
    button->set_halign(Gtk::Align::START);
    auto* label = makeLabel(localized("+ credential"), {"violet"});
    hideFromAccessibility(*label);  // the button reads its name
    button->set_child(*label);
    button->set_menu_model(menu);
    button->insert_action_group("credentials", actions);
    describe(*button, localized("Assign a credential to ") + profile.name);
    if (auto* popover = button->get_popover()) namePopover(*popover, localized("Assign a credential to ") + profile.name);
    nameForFocus(*button, group(profile.id) + "/assign");
    block.append(*button);
}

void ProfilesPanel::addDeletionRow(Gtk::Box& block, const BrowserProfile& profile) {
    if (deleting_ == profile.id) {
        auto* row = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 12);
        auto* warning = makeLabel(localized("its sessions and variables are deleted"), {"red"});
        warning->set_wrap(true);
        row->append(*warning);
        row->append(*profilesSpace());
        auto* confirm = makePlainButton(localized("delete"), {"red"});
        describe(*confirm, localized("Confirm: delete ") + profile.name);
        confirm->signal_clicked().connect([this, profile] { confirmDeletion(profile); });
        nameForFocus(*confirm, group(profile.id) + "/confirm");
        row->append(*confirm);
        auto* cancel = makePlainButton(localized("cancel"), {"secondaryText"});
        cancel->signal_clicked().connect([this, id = profile.id] {
            deleting_.reset();
            focus_.moveTo(group(id) + "/delete");
            later_.request();
        });
        nameForFocus(*cancel, group(profile.id) + "/cancel");
        row->append(*cancel);
        block.append(*row);
        return;
    }
    auto* remove = makePlainButton(localized("delete profile"), {"faintText"});
    remove->set_halign(Gtk::Align::START);
    describe(*remove, localized("Delete profile ") + profile.name);
    remove->signal_clicked().connect([this, id = profile.id] {
        deleting_ = id;
        // The question takes the focus on its harmless answer.
        focus_.moveTo(group(id) + "/cancel");
        later_.request();
    });
    nameForFocus(*remove, group(profile.id) + "/delete");
    block.append(*remove);
}

void ProfilesPanel::createProfile() {
    act([this] { return createAndSelect(profiles_, newName_.get_text()); }, [this] { newName_.set_text(""); });
}

Task<void> ProfilesPanel::createAndSelect(ProfileStore& profiles, std::string name) {
    BrowserProfile made = co_await profiles.createProfile(std::move(name));
    co_await profiles.selectProfile(made);
}

void ProfilesPanel::openVariableForm(const ProfileID& profile) {
    expanded_.insert(profile);
    later_.request();
}

void ProfilesPanel::assign(const Credential& credential, bool assigned, const BrowserProfile& profile) {
    act([&] { return profiles_.assignCredential(credential.id, assigned, profile.id); });
}

void ProfilesPanel::confirmDeletion(const BrowserProfile& profile) {
    deleting_.reset();
    later_.request();
    act([&] { return profiles_.deleteProfile(profile); });
}

} // namespace vesk::ui
