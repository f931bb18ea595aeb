#include "BrowserUI/Widgets/StyleSheet.h"

namespace vesk::ui {

const char* const viewStyleSheet = R"css(
window.browser-window, window.browser-window > contents { background-color: @background; color: @text; }
window.browser-window.solid-csd { padding: 0; box-shadow: inset 0 0 0 1px @edge; }
window.browser-window.csd { border-radius: 0; }

.mono-11, .mono-11-5, .mono-12, .mono-12-5, .mono-30 { font-family: monospace; font-weight: normal; }
.mono-11 { font-size: 11px; }
.mono-11-5 { font-size: 11.5px; }
.mono-12 { font-size: 12px; }
.mono-12-5 { font-size: 12.5px; }
.mono-30 { font-size: 30px; }
.body-14 { font-size: 14px; }
.tracked { letter-spacing: 1.4px; }
.digits { font-feature-settings: "tnum"; }
.padded-14 { padding: 14px; }

button.plain { background: none; border: none; box-shadow: none; outline: none; padding: 0; margin: 0;
               min-height: 0; min-width: 0; border-radius: 0; }
button.plain:hover { background: none; }
button.plain:hover > label { text-decoration: underline; }
button.plain.history { color: @secondaryText; -gtk-icon-size: 12px; }
button.plain.history:disabled { color: alpha(@secondaryText, 0.35); }
button.plain.history:hover { color: @text; }
button.plain.menu-item { padding: 4px 10px; }

.top-bar, .top-bar.titlebar { background: @background; box-shadow: none; border: none; min-height: 0; }
.top-bar windowcontrols button { min-height: 20px; min-width: 20px; padding: 2px; margin: 0 2px; }

entry.address, entry.start-address { background: none; border: none; box-shadow: none; outline: none;
                                      padding: 0; min-height: 0; color: @text; caret-color: @violet; }
entry.address text placeholder, entry.start-address text placeholder { color: @faintText; }
entry.address.veiled text { color: transparent; }
entry.address > text > selection, entry.start-address > text > selection { background-color: alpha(@violet, 0.4); }
entry.start-address { font-size: 30px; letter-spacing: -0.6px; }

.rule { min-height: 1px; min-width: 1px; }

.side-panel { background-color: @sidebar; color: @text; }
listview.log-list { background-color: @sidebar; }
listview.log-list > row { padding: 0; border-bottom: 1px solid @separator; background: none; }

.sheet-backdrop { background-color: alpha(black, 0.45); }
.popup-sheet { border: 1px solid @edge; border-top: none; box-shadow: 0 12px 40px alpha(black, 0.6); }
.popup-header { min-height: 34px; padding: 0 14px; }

.panel { font-family: monospace; font-size: 12.5px; }
.panel .caption { font-size: 11px; letter-spacing: 1.4px; }
.panel .stepRow { font-size: 12px; }
button.sectionButton { padding: 0 8px; border-radius: 5px; }
button.sectionButton.on-raised { background-color: @raised; }
.field, .fieldRow { background-color: @raised; border: 1px solid @edge; border-radius: 5px; padding: 0 8px;
                    min-height: 26px; box-shadow: none; color: @text; }

/* Text fields drawn by the rows they lie on, without the theme's frame; every
   prompt in faintText itself, which the theme would dim further. */
entry.bare { background: none; border: none; box-shadow: none; outline: none; padding: 0; min-height: 0;
             border-radius: 0; color: @text; caret-color: @violet; }
entry > text > placeholder { color: @faintText; opacity: 1; }
menubutton.plain > button { background: none; border: none; box-shadow: none; outline: none; padding: 0; margin: 0;
                            min-height: 0; min-width: 0; border-radius: 0; }

/* Where the keyboard is, while the person moves by keys: a ring in the
   accent around the control that has the focus (the toolkit sets
   focus-visible on its parents too, hence :focus), the frame of a field
   row, or the theme's own ring drawn in the accent. */
button.plain:focus:focus-visible, menubutton.plain > button:focus:focus-visible {
    outline: 1px solid @violet; outline-offset: 2px; border-radius: 3px; }
button:focus:focus-visible, checkbutton:focus:focus-visible { outline-color: @violet; }
.fieldRow:focus-within, .field:focus-within { border-color: @violet; }
entry.bare:focus-within { outline: 1px solid @violet; outline-offset: 2px; border-radius: 3px; }
.fieldRow > entry.bare:focus-within { outline: none; }

tooltip { background-color: @raised; color: @text; border: 1px solid @edge; }
scrollbar { background: none; }
)css";

} // namespace vesk::ui
