#pragma once

// The one dark palette that every view draws with: thirteen opaque sRGB
// colours, named as the style sheet names them (@background, .text, …).

#include <array>
#include <string>

namespace vesk::ui {

struct PaletteColour {
    const char* name;
    double red;
    double green;
    double blue;
};

inline constexpr std::array<PaletteColour, 13> palette{{
    {"background", 0.051, 0.051, 0.059},
    {"sidebar", 0.075, 0.075, 0.090},
    {"raised", 0.102, 0.102, 0.122},
    {"separator", 0.122, 0.122, 0.145},
    {"edge", 0.149, 0.149, 0.173},
    {"text", 0.910, 0.910, 0.918},
    {"secondaryText", 0.541, 0.541, 0.573},
    {"faintText", 0.353, 0.353, 0.384},
    {"violet", 0.486, 0.361, 1.000},
    {"green", 0.247, 0.749, 0.561},
    {"amber", 0.878, 0.643, 0.345},
    {"blue", 0.353, 0.663, 0.902},
    {"red", 0.937, 0.396, 0.396},
}};

// The palette as CSS: an @define-color for each colour, and for each a class
// of that name that draws text in it and a class "on-NAME" that fills the
// background with it.
std::string paletteCSS();

// The palette, the type of the views and their dark scheme, for every
// window of the display. Once per process; later calls do nothing.
void installStyles();

} // namespace vesk::ui
