#include "ui/resolution_dialog_model.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <memory>
#include <mutex>

#include "app/session.h"
#include "app/settings_store.h"
#include "app/ui_port.h"
#include "metafile/metafile.h"
#include "render/page_renderer.h"

namespace ui {
namespace {

// A whole number of a formula's result: ceil, kept within 32 bits (a
// resolution of thousands of pixels per inch on a large page must not wrap).
int ceilInt(double v) {
    if (!(v == v))
        return 0;
    const double c = std::ceil(v);
    if (c >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (c <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(c);
}

int truncInt(double v) {
    if (!(v == v))
        return 0;
    if (v >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (v <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(std::trunc(v));
}

}  // namespace

ResolutionFacts resolutionFactsOf(const app::Session& s) {
    ResolutionFacts f;
    f.screenDpi = s.ScreenDpi;
    f.printerDpi = s.PrinterDpi;
    f.pageWidthMm = s.RenderStatus.pageWidthMm;
    f.pageHeightMm = s.RenderStatus.pageHeightMm;
    f.currentResolution = app::currentResolution(s);
    f.CheckN = s.resolutionDialog.CheckN;
    f.userResolution = s.resolutionDialog.userResolution;
    f.ScaleCur = s.resolutionDialog.ScaleCur;
    return f;
}

int fieldNumber(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return 0;
    return value;
}

std::int32_t resCurOf(double resolution) {
    const double tenths = std::trunc(resolution * 10);
    if (!(tenths == tenths) || tenths <= 0)
        return 0;
    if (tenths >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(tenths);
}

ResolutionDialogModel::ResolutionDialogModel(const ResolutionFacts& facts)
    : m_facts(facts),
      m_choice(facts.CheckN),
      m_resolution(facts.userResolution),
      m_scale(facts.ScaleCur),
      m_radio(facts.CheckN),
      m_userEnabled(facts.CheckN == 2) {
    const double W = m_facts.pageWidthMm, H = m_facts.pageHeightMm;
    const double S = m_facts.ScaleCur, R = m_facts.currentResolution;
    m_screenField = m_facts.screenDpi;
    m_printerField = m_facts.printerDpi;
    m_resField = truncInt(m_facts.userResolution);
    m_scaleField = m_facts.ScaleCur;
    m_widthMm = ceilInt(S * 0.01 * W);
    m_heightMm = ceilInt(S * 0.01 * H);
    m_widthPx = ceilInt(R * W * kInchesPerMm * S * 0.01);
    m_heightPx = ceilInt(R * H * kInchesPerMm * S * 0.01);
}

int ResolutionDialogModel::edit(int spinId) {
    switch (spinId) {
        case res::kResolutionSpin:
            return res::kResolutionField;
        case res::kScaleSpin:
            return res::kScaleField;
        case res::kWidthMmSpin:
            return res::kWidthMmField;
        case res::kHeightMmSpin:
            return res::kHeightMmField;
        case res::kWidthPxSpin:
            return res::kWidthPxField;
        case res::kHeightPxSpin:
            return res::kHeightPxField;
        default:
            return 0;
    }
}

int& ResolutionDialogModel::slot(int fieldId) {
    switch (fieldId) {
        case res::kScreenField:
            return m_screenField;
        case res::kPrinterField:
            return m_printerField;
        case res::kResolutionField:
            return m_resField;
        case res::kWidthMmField:
            return m_widthMm;
        case res::kHeightMmField:
            return m_heightMm;
        case res::kWidthPxField:
            return m_widthPx;
        case res::kHeightPxField:
            return m_heightPx;
        case res::kScaleField:
            return m_scaleField;
        default:
            m_none = 0;
            return m_none;
    }
}

int ResolutionDialogModel::field(int id) const {
    return const_cast<ResolutionDialogModel*>(this)->slot(id);
}

ResolutionDialogModel::Range ResolutionDialogModel::range(int spinId) const {
    const double W = m_facts.pageWidthMm, H = m_facts.pageHeightMm, P = m_facts.printerDpi;
    switch (spinId) {
        case res::kResolutionSpin:
            return {1, m_facts.printerDpi};
        case res::kScaleSpin:
            return {1, 300};
        case res::kWidthMmSpin:
            return {1, m_facts.pageWidthMm};
        case res::kHeightMmSpin:
            return {1, m_facts.pageHeightMm};
        case res::kWidthPxSpin:
            return {1, ceilInt(W * P * kInchesPerMm)};
        case res::kHeightPxSpin:
            return {1, ceilInt(H * P * kInchesPerMm)};
        default:
            return {1, 0};
    }
}

bool ResolutionDialogModel::enabled(int id) const {
    switch (id) {
        case res::kResolutionField:
        case res::kResolutionSpin:
            return m_userEnabled;
        case res::kWidthMmField:
        case res::kWidthMmSpin:
        case res::kHeightMmField:
        case res::kHeightMmSpin:
        case res::kWidthPxField:
        case res::kWidthPxSpin:
        case res::kHeightPxField:
        case res::kHeightPxSpin:
            return !noPage();
        default:
            return true;
    }
}

std::optional<int> ResolutionDialogModel::checkedRadio() const {
    if (m_radio < 0 || m_radio > 2)
        return std::nullopt;
    return res::kDisplay + m_radio;
}

double ResolutionDialogModel::pixelResolution() const {
    switch (m_choice) {
        case 0:
            return m_facts.screenDpi;
        case 1:
            return m_facts.printerDpi;
        default:
            return m_resolution;
    }
}

void ResolutionDialogModel::pixelUpdate() {
    const double r = pixelResolution();
    setSpin(res::kWidthPxSpin, ceilInt(m_widthMm * r * kInchesPerMm));
    setSpin(res::kHeightPxSpin, ceilInt(m_heightMm * r * kInchesPerMm));
}

void ResolutionDialogModel::pixelsFromResolution() {
    const double r = pixelResolution();
    const double W = m_facts.pageWidthMm, H = m_facts.pageHeightMm;
    setSpin(res::kWidthPxSpin, ceilInt(m_scale * 0.01 * W * r * kInchesPerMm));
    setSpin(res::kHeightPxSpin, ceilInt(m_scale * 0.01 * H * r * kInchesPerMm));
}

void ResolutionDialogModel::switchToUserDefined() {
    m_choice = m_radio = 2;
    m_userEnabled = true;
}

bool ResolutionDialogModel::stepSpin(int spinId, int delta) {
    if (edit(spinId) == 0 || !enabled(spinId))
        return false;
    const Range r = range(spinId);
    if (r.empty())
        return false;
    const long long wanted = static_cast<long long>(field(edit(spinId))) + delta;
    const int position = static_cast<int>(std::clamp<long long>(wanted, r.minimum, r.maximum));
    setSpin(spinId, position);
    spinChanged(spinId, position);
    return true;
}

void ResolutionDialogModel::spinChanged(int spinId, int position) {
    // A disabled spin sends nothing (the size rows without a page).
    if (!enabled(spinId))
        return;
    setSpin(spinId, position);
    const double W = m_facts.pageWidthMm, H = m_facts.pageHeightMm;
    switch (spinId) {
        case res::kResolutionSpin:
            m_resolution = m_resField;
            pixelsFromResolution();
            break;
        case res::kScaleSpin:
            m_scale = m_scaleField;
            setSpin(res::kWidthMmSpin, ceilInt(m_scale * 0.01 * W));
            setSpin(res::kHeightMmSpin, ceilInt(m_scale * 0.01 * H));
            pixelUpdate();
            break;
        case res::kWidthMmSpin:
            if (noPage())
                break;
            m_scale = ceilInt(m_widthMm * 100 / W);
            setSpin(res::kScaleSpin, m_scale);
            setSpin(res::kHeightMmSpin, ceilInt(H * m_scale * 0.01));
            pixelUpdate();
            break;
        case res::kHeightMmSpin:
            if (noPage())
                break;
            m_scale = ceilInt(m_heightMm * 100 / H);
            setSpin(res::kScaleSpin, m_scale);
            setSpin(res::kWidthMmSpin, ceilInt(m_scale * W * 0.01));
            pixelUpdate();
            break;
        case res::kWidthPxSpin:
            switchToUserDefined();
            // A millimetre field of 0 (typed) gives no resolution: the
            // division is not made and the resolution stays.
            if (m_widthMm <= 0)
                break;
            m_resolution = std::max(m_widthPx / (m_widthMm * kInchesPerMm), 1.0);
            setSpin(res::kResolutionSpin, truncInt(m_resolution));
            setSpin(res::kHeightPxSpin, ceilInt(m_heightMm * m_resolution * kInchesPerMm));
            break;
        case res::kHeightPxSpin:
            switchToUserDefined();
            if (m_heightMm <= 0)
                break;
            m_resolution = std::max(m_heightPx / (m_heightMm * kInchesPerMm), 1.0);
            setSpin(res::kResolutionSpin, truncInt(m_resolution));
            setSpin(res::kWidthPxSpin, ceilInt(m_widthMm * m_resolution * kInchesPerMm));
            break;
        default:
            break;
    }
}

void ResolutionDialogModel::typed(int fieldId, std::string_view text) {
    if (!enabled(fieldId))
        return;
    const int value = fieldNumber(text);
    const double W = m_facts.pageWidthMm, H = m_facts.pageHeightMm;
    auto limitScale = [](int s) { return std::clamp(s, 1, 300); };
    switch (fieldId) {
        case res::kResolutionField:
            m_resField = value;
            m_resolution = std::clamp(value, 1, std::max(m_facts.printerDpi, 1));
            break;
        case res::kWidthMmField:
            m_widthMm = value;
            if (!noPage())
                m_scale = limitScale(ceilInt(value * 100.0 / W));
            break;
        case res::kHeightMmField:
            m_heightMm = value;
            if (!noPage())
                m_scale = limitScale(ceilInt(value * 100.0 / H));
            break;
        case res::kWidthPxField:
            m_widthPx = value;
            m_choice = 2;
            m_userEnabled = true;
            if (m_widthMm > 0)
                m_resolution = std::max(value / (m_widthMm * kInchesPerMm), 1.0);
            break;
        case res::kHeightPxField:
            m_heightPx = value;
            m_choice = 2;
            m_userEnabled = true;
            if (m_heightMm > 0)
                m_resolution = std::max(value / (m_heightMm * kInchesPerMm), 1.0);
            break;
        case res::kScaleField:
            m_scaleField = value;
            m_scale = limitScale(value);
            break;
        default:
            break;
    }
}

void ResolutionDialogModel::radio(int id) {
    switch (id) {
        case res::kDisplay:
            m_resolution = m_facts.screenDpi;
            m_choice = m_radio = 0;
            m_userEnabled = false;
            break;
        case res::kPrinter:
            m_resolution = m_facts.printerDpi;
            m_choice = m_radio = 1;
            m_userEnabled = false;
            break;
        case res::kUserDefined:
            m_choice = m_radio = 2;
            m_resolution = m_resField;
            m_userEnabled = true;
            break;
        default:
            return;
    }
    pixelsFromResolution();
}

void commitResolutionDialog(const ResolutionDialogModel& model, app::Session& s, app::SettingsStore& store,
                            app::UserInterfacePort& ui, render::PageRenderer& renderer) {
    using platform::RegRoot;
    const std::int32_t resCur = resCurOf(model.resolution());
    {
        std::lock_guard lock(s.renderLock);
        s.options.lvKodPreset = 0;
        s.resolution.userResolution = s.resolutionDialog.userResolution = model.resolution();
        s.RenderOptions.ScaleCur = s.resolutionDialog.ScaleCur = model.scale();
        s.resolution.CheckN = s.resolutionDialog.CheckN = model.choice();
    }
    store.writeDword(RegRoot::CurrentUser, "lvKodPreset", 0);
    store.writeDword(RegRoot::CurrentUser, "ResCur", static_cast<std::uint32_t>(resCur));
    store.writeDword(RegRoot::CurrentUser, "ScaleCur", static_cast<std::uint32_t>(model.scale()));
    store.writeDword(RegRoot::CurrentUser, "CheckN", static_cast<std::uint32_t>(model.choice()));

    ui.beginWaitCursor();
    s.ViewState = 1;
    auto& list = s.PageList;
    const int current = list.currentPage.load();
    if (current >= 0 && current < list.count()) {
        s.shownPage = current;
        const auto page = list.record(current).metafile;
        {
            std::lock_guard lock(s.renderLock);
            s.CurrentImage.store(std::make_shared<const Magick::Image>(
                renderer.renderPage(app::currentResolution(s), page.get())));
        }
        s.ViewState = 2;
        ui.invalidate(app::UiWindow::PageView, std::nullopt, true);
        ui.requestScroll(app::UiWindow::PageView, app::ScrollBar::Vertical, app::ScrollRequest::PageUp);
        ui.requestScroll(app::UiWindow::PageView, app::ScrollBar::Horizontal, app::ScrollRequest::PageUp);
    } else {
        list.currentPage = -1;
    }
    ui.endWaitCursor();
}

}  // namespace ui
