#pragma once

// Until the window's view parts, texts and palette are in: the same calls,
// made simply, in a namespace of their own. Deleted when they come.

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/label.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

namespace vesk::ui {
namespace standin {

std::string localized(const char* key);
std::string localized(const char* key, std::initializer_list<std::string_view> values);
std::string localizedCount(const char* key, std::int64_t count);
std::string formatStepCount(std::int64_t count);

Gtk::Label* makeLabel(const std::string& text, std::initializer_list<const char*> classes);
Gtk::Box* makeRule(Gtk::Orientation orientation, const char* colour);
Gtk::Button* makePlainButton(const std::string& text, std::initializer_list<const char*> classes);
void describe(Gtk::Widget& widget, const std::string& label, const std::string& help = {});
void setColour(Gtk::Widget& widget, const char* colour);
void installStyles();

class Liveness {
public:
    std::weak_ptr<void> token() const { return token_; }

private:
    std::shared_ptr<int> token_ = std::make_shared<int>(0);
};

} // namespace standin
using namespace standin;
} // namespace vesk::ui
