#pragma once

// The window's content below the top bar: the page, or the start view before
// anything was loaded, with the side panel on its left, and over them the
// sheet that shows the last window the page opened.

#include "BrowserUI/Presentation/BrowserModels.h"
#include "BrowserUI/Presentation/FlowPlayback.h"
#include "BrowserUI/Presentation/RecorderState.h"
#include "BrowserUI/SidePanel/SidePanel.h"
#include "BrowserUI/Widgets/ViewParts.h"
#include "Platform/Observable.h"

#include <gtkmm/box.h>
#include <gtkmm/overlay.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vesk::ui {

class PageView;
class PopupView;
class SidePanelView;
class StartView;

class BrowserView : public Gtk::Overlay {
public:
    explicit BrowserView(BrowserModels& models);
    ~BrowserView() override;

    // Which panel stands beside the page; none when hidden.
    Observable<std::optional<SidePanel>> panel;
    // The replays started from this window, shared by its views.
    FlowPlayback playback;
    // The recordings stopped in this window whose save failed.
    std::shared_ptr<UnsavedRecordings> unsavedRecordings = std::make_shared<UnsavedRecordings>();

    // The window's commands.
    void togglePanel();
    void showSettings();
    // Pauses or resumes the agent, the side panel shown or not: the top bar
    // says which.
    void togglePause();
    // Closes the popup the sheet shows; false when there is none.
    bool closeSheet();

    // What the view shows, for tests.
    StartView* startView() const { return start_; }
    PageView* pageView() const { return page_; }
    SidePanelView* sidePanel() const { return side_; }
    PopupView* sheet() const { return sheet_.get(); }

private:
    void showPanel();
    void showPageArea();
    void showSheet();
    bool holdsFocus(Gtk::Widget& widget) const;
    // While the sheet is open the rest of the window takes no focus, and
    // where the focus was is kept for its return.
    void keepKeyboardInSheet();
    // The sheet's page takes the keyboard, unless the person moved into the
    // sheet already.
    void giveKeyboardToSheet();
    void giveKeyboardBack();
    // The control that has the keyboard, if it is on screen.
    GtkWidget* liveFocus() const;
    void remember(GtkWidget* focus);
    // What a screen reader is told of the control inside the page that had
    // the keyboard when the sheet took it, for when it comes back.
    void readPageControl();
    void retire(std::unique_ptr<PopupView> sheet);
    void clearRetired();

    BrowserModels& models_;
    Gtk::Box* body_ = nullptr;
    Gtk::Box* panelSlot_ = nullptr;
    Gtk::Box* pageArea_ = nullptr;
    Gtk::Box* backdrop_ = nullptr;
    SidePanelView* side_ = nullptr;
    StartView* start_ = nullptr;
    PageView* page_ = nullptr;
    std::unique_ptr<PopupView> sheet_;
    // Where the focus was when the sheet opened; null once that widget is gone.
    GtkWidget* focusBeforeSheet_ = nullptr;
    // The control inside the page that had it, as read for a screen reader;
    // `pageControlReads_` tells an answer read for an earlier sheet.
    std::optional<std::string> pageControl_;
    unsigned pageControlReads_ = 0;
    Liveness liveness_;
    // Sheets taken down while their own button was being handled, deleted
    // once that handling is over.
    std::vector<std::unique_ptr<PopupView>> retired_;
};

} // namespace vesk::ui
