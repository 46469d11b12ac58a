#pragma once
// What one page may cost while it plays. A record's size does not bound the
// work it asks for: a curve with far-away control points, a bitmap header
// that claims a huge picture, a region of many rectangles. Such work is
// counted here against limits set from the output's size; once a counter
// passes its limit the budget is spent, drawing calls stop doing work and the
// player ends the page with a note saying why.

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <string>

namespace metafile {

class WorkBudget {
public:
    enum class Kind {
        CurvePoints,  // points made by flattening curves, arcs and ellipses
        ImagePixels,  // pixels of decoded bitmaps
        RegionSpans,  // spans visited while building and combining regions
        DashSteps,    // dash pattern entries stepped over while drawing lines
    };
    static constexpr std::size_t kKinds = 4;

    struct Limits {
        std::int64_t curvePoints = std::numeric_limits<std::int64_t>::max();
        std::int64_t imagePixels = std::numeric_limits<std::int64_t>::max();
        std::int64_t regionSpans = std::numeric_limits<std::int64_t>::max();
        std::int64_t dashSteps = std::numeric_limits<std::int64_t>::max();
    };

    // Limits for a page drawn on `outputPixels` pixels: generous for real
    // pages (a few hundred times what the busiest page of the test corpus
    // needs), small enough that a page ends within seconds and a few hundred
    // megabytes.
    static Limits forOutput(std::int64_t outputPixels) {
        const std::int64_t out = std::max<std::int64_t>(outputPixels, 1);
        Limits l;
        l.curvePoints = std::int64_t{1} << 24;
        // One picture of the largest size, or sixteen times the output.
        l.imagePixels = std::max<std::int64_t>(std::int64_t{1} << 26, 16 * out);
        l.regionSpans = std::max<std::int64_t>(std::int64_t{1} << 26, 4 * out);
        l.dashSteps = std::max<std::int64_t>(std::int64_t{1} << 27, 16 * out);
        return l;
    }

    WorkBudget() = default;
    explicit WorkBudget(const Limits& limits) : m_limits(limits) {}

    // Adds `amount` of work; false (and the budget spent) when that passes
    // the kind's limit. Once spent, every charge fails.
    bool charge(Kind kind, std::int64_t amount) {
        if (m_spent)
            return false;
        auto& used = m_used[index(kind)];
        used += std::max<std::int64_t>(amount, 0);
        if (used > limit(kind)) {
            m_spent = true;
            m_reason = reasonFor(kind);
            return false;
        }
        return true;
    }
    // What is left of a kind's limit (0 once spent).
    std::int64_t remaining(Kind kind) const {
        return m_spent ? 0 : std::max<std::int64_t>(limit(kind) - m_used[index(kind)], 0);
    }
    std::int64_t used(Kind kind) const { return m_used[index(kind)]; }
    bool spent() const { return m_spent; }
    // Why the budget was spent ("too many curve points", ...).
    const std::string& reason() const { return m_reason; }
    const Limits& limits() const { return m_limits; }

private:
    static std::size_t index(Kind kind) { return static_cast<std::size_t>(kind); }
    std::int64_t limit(Kind kind) const {
        switch (kind) {
            case Kind::CurvePoints:
                return m_limits.curvePoints;
            case Kind::ImagePixels:
                return m_limits.imagePixels;
            case Kind::RegionSpans:
                return m_limits.regionSpans;
            case Kind::DashSteps:
                return m_limits.dashSteps;
        }
        return 0;
    }
    static const char* reasonFor(Kind kind) {
        switch (kind) {
            case Kind::CurvePoints:
                return "its curves need more points than a page may have";
            case Kind::ImagePixels:
                return "its bitmaps hold more pixels than a page may decode";
            case Kind::RegionSpans:
                return "its regions are more complex than a page may have";
            case Kind::DashSteps:
                return "its dashed lines need more steps than a page may take";
        }
        return "";
    }

    Limits m_limits;
    std::array<std::int64_t, kKinds> m_used{};
    bool m_spent = false;
    std::string m_reason;
};

}  // namespace metafile
