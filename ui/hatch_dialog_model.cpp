#include "ui/hatch_dialog_model.h"

#include <algorithm>
#include <memory>
#include <mutex>

#include "app/session.h"
#include "app/settings_store.h"
#include "app/ui_port.h"
#include "render/option_commands.h"
#include "render/page_renderer.h"
#include "ui/resolution_dialog_model.h"

namespace ui {

HatchValues hatchValuesOf(const app::RenderSettings& r) {
    return {r.lvBkGrHathStyle, r.lvCurBkGrColor, r.lvHatchColor, r.lvHatchWidth,
            r.lvHatchDepress,  r.lvHatchAngle,   r.lvHatchLnHor, r.lvHatchLnVert};
}

HatchDialogModel::HatchDialogModel(const HatchValues& committed, std::int32_t storedStyle)
    : m_committed(committed) {
    m_committed.style = storedStyle < 100 ? 4 : 100;
    m_working = m_committed;
}

bool HatchDialogModel::enabled(int id) const {
    switch (id) {
        case hatch::kHorizontal:
        case hatch::kVertical:
        case hatch::kWidthField:
        case hatch::kSpacingField:
        case hatch::kAngleField:
            return backgroundShown();
        default:
            // The labels 1030 to 1037 follow the background too.
            if (id >= 1030 && id <= 1037)
                return backgroundShown();
            return true;
    }
}

int HatchDialogModel::spinPosition(int spinId) const {
    switch (spinId) {
        case hatch::kWidthSpin:
            return m_working.width;
        case hatch::kSpacingSpin:
            return m_working.spacing;
        case hatch::kAngleSpin:
            return m_working.angle;
        default:
            return 0;
    }
}

std::pair<int, int> HatchDialogModel::spinRange(int spinId) {
    return spinId == hatch::kAngleSpin ? std::pair{0, 90} : std::pair{0, 100};
}

bool HatchDialogModel::typed(int fieldId, std::string_view text) {
    const int value = fieldNumber(text);
    switch (fieldId) {
        case hatch::kWidthField:
            m_working.width = value;
            return true;
        case hatch::kSpacingField:
            m_working.spacing = value;
            return true;
        case hatch::kAngleField:
            m_working.angle = value;
            return true;
        default:
            return false;
    }
}

std::optional<int> HatchDialogModel::stepSpin(int spinId, int delta, int fieldValue) {
    const auto [low, high] = spinRange(spinId);
    const int field = spinId == hatch::kWidthSpin     ? hatch::kWidthField
                      : spinId == hatch::kSpacingSpin ? hatch::kSpacingField
                      : spinId == hatch::kAngleSpin   ? hatch::kAngleField
                                                      : 0;
    if (field == 0)
        return std::nullopt;
    const int position =
        static_cast<int>(std::clamp<long long>(static_cast<long long>(fieldValue) + delta, low, high));
    if (position == fieldValue)
        return std::nullopt;
    typed(field, std::to_string(position));
    return position;
}

Swatch HatchDialogModel::swatchAt(int x, int y) const {
    if (!backgroundShown())
        return Swatch::None;
    if (kBackgroundSwatch.contains(x, y))
        return Swatch::Background;
    if (kHatchSwatch.contains(x, y))
        return Swatch::Hatch;
    return Swatch::None;
}

std::optional<std::uint32_t> HatchDialogModel::press(int x, int y, Swatch& which) {
    which = swatchAt(x, y);
    switch (which) {
        case Swatch::Background: {
            const std::uint32_t previous = m_working.backgroundColour;
            m_working.backgroundColour = m_committed.backgroundColour;
            return previous;
        }
        case Swatch::Hatch: {
            const std::uint32_t previous = m_working.hatchColour;
            m_working.hatchColour = m_committed.hatchColour;
            return previous;
        }
        case Swatch::None:
            break;
    }
    return std::nullopt;
}

void HatchDialogModel::colourChosen(Swatch which, std::uint32_t colour) {
    if (which == Swatch::Background)
        m_working.backgroundColour = colour & 0xFFFFFF;
    else if (which == Swatch::Hatch)
        m_working.hatchColour = colour & 0xFFFFFF;
}

std::vector<std::pair<const char*, std::int32_t>> HatchDialogModel::changes() const {
    const HatchValues& c = m_committed;
    const HatchValues& w = m_working;
    std::vector<std::pair<const char*, std::int32_t>> out;
    if (w.style != c.style)
        out.emplace_back("lvBkGrHathStyle", w.style);
    if (w.hatchColour != c.hatchColour)
        out.emplace_back("lvHatchColor", static_cast<std::int32_t>(w.hatchColour));
    if (w.backgroundColour != c.backgroundColour)
        out.emplace_back("lvCurBkGrColor", static_cast<std::int32_t>(w.backgroundColour));
    if (w.width != c.width)
        out.emplace_back("lvHatchWidth", w.width);
    if (w.spacing != c.spacing)
        out.emplace_back("lvHatchDepress", w.spacing);
    if (w.angle != c.angle)
        out.emplace_back("lvHatchAngle", w.angle);
    if (w.horizontal != c.horizontal)
        out.emplace_back("lvHatchLnHor", w.horizontal ? 1 : 0);
    if (w.vertical != c.vertical)
        out.emplace_back("lvHatchLnVert", w.vertical ? 1 : 0);
    return out;
}

void applyNormalisedStyle(const HatchDialogModel& model, app::Session& session) {
    std::lock_guard lock(session.renderLock);
    session.RenderOptions.lvBkGrHathStyle = model.normalisedStyle();
}

void commitHatchDialog(const HatchDialogModel& model, app::Session& s, app::SettingsStore& store,
                       app::UserInterfacePort& ui, render::PageRenderer& renderer,
                       render::OptionCommands& options) {
    const HatchValues& w = model.working();
    {
        std::lock_guard lock(s.renderLock);
        auto& r = s.RenderOptions;
        r.lvBkGrHathStyle = w.style;
        r.lvHatchColor = w.hatchColour;
        r.lvCurBkGrColor = w.backgroundColour;
        r.lvHatchWidth = w.width;
        r.lvHatchDepress = w.spacing;
        r.lvHatchAngle = w.angle;
        r.lvHatchLnHor = w.horizontal;
        r.lvHatchLnVert = w.vertical;
    }
    for (const auto& [name, value] : model.changes())
        store.writeDword(platform::RegRoot::CurrentUser, name, static_cast<std::uint32_t>(value));

    ui.beginWaitCursor();
    auto& list = s.PageList;
    const int count = list.count();
    if (count > 0) {
        if (list.currentPage > count - 1)
            list.currentPage = count - 1;
        const int current = list.currentPage.load();
        // No current page (-1) with pages listed: nothing to show again; the
        // thumbnails still take the new background.
        if (current >= 0) {
            s.shownPage = current;
            const auto page = list.record(current).metafile;
            std::lock_guard lock(s.renderLock);
            s.CurrentImage.store(std::make_shared<const Magick::Image>(
                renderer.renderPage(app::currentResolution(s), page.get())));
        }
        ui.invalidate(app::UiWindow::PageView, std::nullopt, true);
        options.rebuildThumbnails();
    }
    ui.endWaitCursor();
}

}  // namespace ui
