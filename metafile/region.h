#pragma once
// A region of device pixels: horizontal bands, each with sorted, disjoint
// spans [x1, x2). Used for clipping and for the region records; combines
// with the five RGN_ operations.

#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "metafile/geometry.h"
#include "metafile/work_budget.h"

namespace metafile {

struct Span {
    std::int32_t x1 = 0;
    std::int32_t x2 = 0;  // excluded
    friend bool operator==(const Span&, const Span&) = default;
};

struct Band {
    std::int32_t top = 0;
    std::int32_t bottom = 0;  // excluded
    std::vector<Span> spans;
    friend bool operator==(const Band&, const Band&) = default;
};

class Region {
public:
    Region() = default;
    // The rectangle [left, right) x [top, bottom); empty when inverted.
    static Region fromRect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom);
    static Region fromRect(const RectL& r) { return fromRect(r.left, r.top, r.right, r.bottom); }
    // The union of many regions (or rectangles), merged in pairs, round
    // after round: n log n for the banded lists that records carry, never
    // one union per part. Each merge's spans are charged to `budget`; an
    // empty region comes back once it is spent.
    static Region unionOf(std::vector<Region> parts, WorkBudget* budget = nullptr);
    static Region fromRects(std::span<const RectL> rects, WorkBudget* budget = nullptr);
    // Builds a region from rows of spans (one vector of spans per row from
    // `top`); adjacent equal rows are merged into bands.
    static Region fromRows(std::int32_t top, const std::vector<std::vector<Span>>& rows);

    bool empty() const { return m_bands.empty(); }
    // How many spans (rectangles) the region is made of.
    std::size_t spanCount() const;
    const std::vector<Band>& bands() const { return m_bands; }
    std::optional<RectL> bounds() const;
    std::vector<RectL> rects() const;
    bool contains(std::int32_t x, std::int32_t y) const;
    // The spans of row y (empty when the row is outside).
    const std::vector<Span>* row(std::int32_t y) const;

    Region combined(const Region& other, int mode) const;  // RGN_AND, RGN_OR, RGN_XOR, RGN_DIFF, RGN_COPY
    Region intersected(const Region& other) const;
    Region offset(std::int32_t dx, std::int32_t dy) const;

    friend bool operator==(const Region&, const Region&) = default;

private:
    std::vector<Band> m_bands;
    void coalesce();
};

}  // namespace metafile
