#pragma once

namespace vesk::ui {

// The type, spacing and chrome of the views, over the palette's colours.
extern const char* const viewStyleSheet;

} // namespace vesk::ui
