#include "ui/page_navigator.h"

#include <algorithm>
#include <memory>
#include <mutex>

#include "app/session.h"
#include "app/ui_port.h"
#include "render/page_renderer.h"

namespace ui {

void PageNavigator::nextPage() {
    auto& list = m_session.PageList;
    const int count = list.count();
    const int next = list.currentPage + 1;
    if (next > count - 1) {
        // No page at all leaves "none" in place.
        list.currentPage = count > 0 ? count - 1 : -1;
        return;
    }
    list.currentPage = next;
    show(next);
}

void PageNavigator::previousPage() {
    auto& list = m_session.PageList;
    const int count = list.count();
    const int previous = list.currentPage - 1;
    if (previous < 0) {
        list.currentPage = count > 0 ? 0 : -1;
        return;
    }
    list.currentPage = std::min(previous, count - 1);
    show(list.currentPage);
}

bool PageNavigator::selectPage(int index) {
    if (index < 0 || index >= m_session.PageList.count())
        return false;
    m_session.PageList.currentPage = index;
    show(index);
    return true;
}

void PageNavigator::show(int index) {
    m_session.shownPage = index;
    m_ui.invalidate(app::UiWindow::ThumbnailStrip, std::nullopt, true);
    const app::CapturedPage& page = m_session.PageList.record(index);
    m_ui.beginWaitCursor();
    {
        std::lock_guard lock(m_session.renderLock);
        m_session.CurrentImage.store(std::make_shared<const Magick::Image>(
            m_renderer.renderPage(app::currentResolution(m_session), page.metafile.get())));
    }
    m_ui.endWaitCursor();
    m_session.ViewState = 2;
    m_view.viewX = std::min(m_view.viewX, page.width);
    m_view.viewY = std::min(m_view.viewY, page.height);
    m_ui.invalidate(app::UiWindow::PageView, std::nullopt, true);
}

}  // namespace ui
