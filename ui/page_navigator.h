#pragma once
// Changing the shown page: next, previous, or a page picked in the thumbnail
// strip. The page is rendered at the current resolution into the shown image
// and the view's scroll positions are limited by the new page's thumbnail.

namespace app {
struct Session;
class UserInterfacePort;
}  // namespace app
namespace render {
class PageRenderer;
}

namespace ui {

// The scroll state of the page view and the strip (interface thread only).
struct ViewModel {
    int viewX = 0, viewY = 0;  // page view scroll position, pixels
    bool hBar = false, vBar = false;
    int hMax = 0, vMax = 0;
    int stripY = 0;      // strip scroll position, pixels
    int stripSpan = 20;  // the strip bar's range: 0 .. stripSpan
};

class PageNavigator {
public:
    PageNavigator(app::Session& session, app::UserInterfacePort& ui, render::PageRenderer& renderer,
                  ViewModel& view)
        : m_session(session), m_ui(ui), m_renderer(renderer), m_view(view) {}

    void nextPage();
    void previousPage();
    // Makes page `index` current and shown; false when there is no such page.
    bool selectPage(int index);

private:
    void show(int index);

    app::Session& m_session;
    app::UserInterfacePort& m_ui;
    render::PageRenderer& m_renderer;
    ViewModel& m_view;
};

}  // namespace ui
