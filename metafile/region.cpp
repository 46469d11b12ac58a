#include "metafile/region.h"

#include <algorithm>
#include <limits>

#include "metafile/gdi_types.h"

namespace metafile {
namespace {

// Combines two sorted span lists with a boolean operation on coverage.
template <class Op>
std::vector<Span> combineSpans(const std::vector<Span>& a, const std::vector<Span>& b, Op op) {
    std::vector<std::int32_t> xs;
    xs.reserve((a.size() + b.size()) * 2);
    for (const auto& s : a) {
        xs.push_back(s.x1);
        xs.push_back(s.x2);
    }
    for (const auto& s : b) {
        xs.push_back(s.x1);
        xs.push_back(s.x2);
    }
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    std::vector<Span> out;
    std::size_t ia = 0, ib = 0;
    for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
        const std::int32_t x = xs[i];
        while (ia < a.size() && a[ia].x2 <= x) ++ia;
        while (ib < b.size() && b[ib].x2 <= x) ++ib;
        const bool inA = ia < a.size() && a[ia].x1 <= x;
        const bool inB = ib < b.size() && b[ib].x1 <= x;
        if (op(inA, inB)) {
            if (!out.empty() && out.back().x2 == x) {
                out.back().x2 = xs[i + 1];
            } else {
                out.push_back({x, xs[i + 1]});
            }
        }
    }
    return out;
}

template <class Op>
std::vector<Band> combineBands(const std::vector<Band>& a, const std::vector<Band>& b, Op op) {
    std::vector<std::int32_t> ys;
    for (const auto& band : a) {
        ys.push_back(band.top);
        ys.push_back(band.bottom);
    }
    for (const auto& band : b) {
        ys.push_back(band.top);
        ys.push_back(band.bottom);
    }
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
    static const std::vector<Span> none;
    std::vector<Band> out;
    std::size_t ia = 0, ib = 0;
    for (std::size_t i = 0; i + 1 < ys.size(); ++i) {
        const std::int32_t y = ys[i];
        while (ia < a.size() && a[ia].bottom <= y) ++ia;
        while (ib < b.size() && b[ib].bottom <= y) ++ib;
        const auto& sa = (ia < a.size() && a[ia].top <= y) ? a[ia].spans : none;
        const auto& sb = (ib < b.size() && b[ib].top <= y) ? b[ib].spans : none;
        auto spans = combineSpans(sa, sb, op);
        if (!spans.empty()) {
            out.push_back({y, ys[i + 1], std::move(spans)});
        }
    }
    return out;
}

}  // namespace

Region Region::fromRect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
    Region r;
    if (left < right && top < bottom) {
        r.m_bands.push_back({top, bottom, {{left, right}}});
    }
    return r;
}

std::size_t Region::spanCount() const {
    std::size_t n = 0;
    for (const auto& band : m_bands) n += band.spans.size();
    return n;
}

Region Region::unionOf(std::vector<Region> parts, WorkBudget* budget) {
    while (parts.size() > 1) {
        std::vector<Region> next;
        next.reserve(parts.size() / 2 + 1);
        for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
            const auto spans = static_cast<std::int64_t>(parts[i].spanCount() + parts[i + 1].spanCount());
            if (budget != nullptr && !budget->charge(WorkBudget::Kind::RegionSpans, spans))
                return {};
            next.push_back(parts[i].combined(parts[i + 1], gdi::RGN_OR));
        }
        if (parts.size() % 2 == 1)
            next.push_back(std::move(parts.back()));
        parts = std::move(next);
    }
    return parts.empty() ? Region{} : std::move(parts.front());
}

Region Region::fromRects(std::span<const RectL> rects, WorkBudget* budget) {
    std::vector<Region> parts;
    parts.reserve(rects.size());
    for (const auto& r : rects) parts.push_back(fromRect(r));
    return unionOf(std::move(parts), budget);
}

Region Region::fromRows(std::int32_t top, const std::vector<std::vector<Span>>& rows) {
    Region r;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].empty()) {
            continue;
        }
        const auto y = static_cast<std::int32_t>(top + static_cast<std::int32_t>(i));
        r.m_bands.push_back({y, y + 1, rows[i]});
    }
    r.coalesce();
    return r;
}

void Region::coalesce() {
    std::vector<Band> out;
    for (auto& band : m_bands) {
        if (!out.empty() && out.back().bottom == band.top && out.back().spans == band.spans) {
            out.back().bottom = band.bottom;
        } else {
            out.push_back(std::move(band));
        }
    }
    m_bands = std::move(out);
}

std::optional<RectL> Region::bounds() const {
    if (m_bands.empty()) {
        return std::nullopt;
    }
    RectL r{std::numeric_limits<std::int32_t>::max(), m_bands.front().top,
            std::numeric_limits<std::int32_t>::min(), m_bands.back().bottom};
    for (const auto& band : m_bands) {
        r.left = std::min(r.left, band.spans.front().x1);
        r.right = std::max(r.right, band.spans.back().x2);
    }
    return r;
}

std::vector<RectL> Region::rects() const {
    std::vector<RectL> out;
    for (const auto& band : m_bands) {
        for (const auto& s : band.spans) {
            out.push_back({s.x1, band.top, s.x2, band.bottom});
        }
    }
    return out;
}

const std::vector<Span>* Region::row(std::int32_t y) const {
    auto it = std::upper_bound(m_bands.begin(), m_bands.end(), y,
                               [](std::int32_t value, const Band& band) { return value < band.bottom; });
    if (it == m_bands.end() || it->top > y) {
        return nullptr;
    }
    return &it->spans;
}

bool Region::contains(std::int32_t x, std::int32_t y) const {
    const auto* spans = row(y);
    if (spans == nullptr) {
        return false;
    }
    // The first span ending after x is the only one that can hold it.
    const auto it = std::upper_bound(spans->begin(), spans->end(), x,
                                     [](std::int32_t v, const Span& s) { return v < s.x2; });
    return it != spans->end() && it->x1 <= x;
}

Region Region::combined(const Region& other, int mode) const {
    Region r;
    switch (mode) {
        case gdi::RGN_AND:
            r.m_bands = combineBands(m_bands, other.m_bands, [](bool a, bool b) { return a && b; });
            break;
        case gdi::RGN_OR:
            r.m_bands = combineBands(m_bands, other.m_bands, [](bool a, bool b) { return a || b; });
            break;
        case gdi::RGN_XOR:
            r.m_bands = combineBands(m_bands, other.m_bands, [](bool a, bool b) { return a != b; });
            break;
        case gdi::RGN_DIFF:
            r.m_bands = combineBands(m_bands, other.m_bands, [](bool a, bool b) { return a && !b; });
            break;
        default:
            return other;
    }
    r.coalesce();
    return r;
}

Region Region::intersected(const Region& other) const {
    return combined(other, gdi::RGN_AND);
}

Region Region::offset(std::int32_t dx, std::int32_t dy) const {
    // Coordinates stay within +-2^30 so that sums never overflow.
    static constexpr std::int64_t kLimit = std::int64_t{1} << 30;
    auto move = [](std::int32_t v, std::int32_t d) {
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(std::int64_t{v} + d, -kLimit, kLimit));
    };
    Region r = *this;
    for (auto& band : r.m_bands) {
        band.top = move(band.top, dy);
        band.bottom = move(band.bottom, dy);
        for (auto& s : band.spans) {
            s.x1 = move(s.x1, dx);
            s.x2 = move(s.x2, dx);
        }
    }
    std::erase_if(r.m_bands, [](const Band& b) { return b.top >= b.bottom; });
    return r;
}

}  // namespace metafile
