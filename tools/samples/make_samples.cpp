// make-samples: draws the demonstration pages (samples/emf/page0001..0003.emf) with
// the project's own metafile writer: a report page with a table, a chart
// page and a picture page, A4 at 96 pixels an inch.
//
//   make-samples OUTPUT_FOLDER

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include "metafile/canvas.h"
#include "metafile/emf_writer.h"

namespace {

using namespace metafile;
namespace fs = std::filesystem;

constexpr int kWidth = 794, kHeight = 1123;  // A4 at 96 dpi

struct Font {
    const char* face;
    int height;  // pixels (character height)
    bool bold = false;
    bool italic = false;
};

std::u16string u16(const std::string& s) {
    std::u16string out;
    for (unsigned char c : s) out.push_back(c);
    return out;
}

// Advances of each character in the substitute font, so that any player
// spaces the text as it was laid out here.
std::vector<std::int32_t> advances(const Font& f, const std::string& text) {
    static auto dib = DibSection::create(1, 1);
    static Canvas canvas(*dib);
    GlyphRun run;
    run.style.family = f.face;
    run.style.bold = f.bold;
    run.style.italic = f.italic;
    run.matrix = {{double(f.height), 0}, {0, double(f.height)}};
    for (unsigned char c : text) run.characters.push_back(c);
    std::vector<std::int32_t> out;
    for (auto a : canvas.glyphAdvances(run)) out.push_back(static_cast<std::int32_t>(std::lround(a.x)));
    return out;
}

int widthOf(const Font& f, const std::string& text) {
    int w = 0;
    for (auto a : advances(f, text)) w += a;
    return w;
}

class Page {
public:
    Page() : m_w({0, 0, 21000, 29700}, {kWidth, kHeight}, {210, 297}, u"Scrivlet\0Demonstration page\0\0") {
        m_w.setBkMode(gdi::TRANSPARENT);
        m_w.setTextAlign(0);
    }
    EmfWriter& writer() { return m_w; }

    void text(const Font& f, int x, int y, const std::string& s, ColorRef colour = rgb(0, 0, 0)) {
        LogFont lf;
        lf.height = -f.height;
        lf.weight = f.bold ? 700 : 400;
        lf.italic = f.italic;
        lf.faceName = f.face;
        const auto font = m_w.createFont(lf);
        m_w.selectObject(font);
        m_w.setTextColor(colour);
        const auto dx = advances(f, s);
        m_w.extTextOut({x, y}, u16(s), dx);
        m_w.selectStockObject(StockObject::SYSTEM_FONT);
        m_w.deleteObject(font);
    }
    // Words wrapped into lines no wider than `width`; returns the next y.
    int paragraph(const Font& f, int x, int y, int width, const std::string& s) {
        std::string line, word;
        auto flush = [&] {
            if (!line.empty())
                text(f, x, y, line);
            y += f.height * 3 / 2;
            line.clear();
        };
        for (std::size_t i = 0; i <= s.size(); ++i) {
            if (i == s.size() || s[i] == ' ') {
                const std::string candidate = line.empty() ? word : line + " " + word;
                if (widthOf(f, candidate) > width && !line.empty()) {
                    flush();
                    line = word;
                } else {
                    line = candidate;
                }
                word.clear();
            } else {
                word.push_back(s[i]);
            }
        }
        flush();
        return y + f.height / 2;
    }
    void box(const RectL& r, ColorRef fill, ColorRef outline, int penWidth = 1) {
        Brush b;
        b.color = fill;
        Pen p;
        p.color = outline;
        p.width = penWidth;
        const auto brush = m_w.createBrush(b), pen = m_w.createPen(p);
        m_w.selectObject(brush);
        m_w.selectObject(pen);
        m_w.rectangle(r);
        m_w.selectStockObject(StockObject::WHITE_BRUSH);
        m_w.selectStockObject(StockObject::BLACK_PEN);
        m_w.deleteObject(brush);
        m_w.deleteObject(pen);
    }
    void line(PointL a, PointL b, ColorRef colour, int width = 1, std::uint32_t style = gdi::PS_SOLID) {
        Pen p;
        p.color = colour;
        p.width = width;
        p.style = style;
        const auto pen = m_w.createPen(p);
        m_w.selectObject(pen);
        m_w.moveTo(a);
        m_w.lineTo(b);
        m_w.selectStockObject(StockObject::BLACK_PEN);
        m_w.deleteObject(pen);
    }
    bool save(const fs::path& file) {
        const auto bytes = m_w.finish();
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return static_cast<bool>(out);
    }

private:
    EmfWriter m_w;
};

const Font kTitle{"Times New Roman", 34, true};
const Font kHeading{"Times New Roman", 20, true};
const Font kBody{"Arial", 14};
const Font kSmall{"Arial", 12};
const Font kItalic{"Arial", 14, false, true};

void header(Page& p, const std::string& title, const std::string& subtitle) {
    p.text(kTitle, 72, 70, title, rgb(20, 40, 110));
    p.text(kItalic, 72, 120, subtitle, rgb(90, 90, 90));
    p.line({72, 150}, {kWidth - 72, 150}, rgb(20, 40, 110), 2);
}

void footer(Page& p, int number) {
    p.line({72, kHeight - 70}, {kWidth - 72, kHeight - 70}, rgb(160, 160, 160));
    p.text(kSmall, 72, kHeight - 60, "Quillo Scrivlet - demonstration document");
    p.text(kSmall, kWidth - 120, kHeight - 60, "Page " + std::to_string(number));
}

void reportPage(const fs::path& file) {
    Page p;
    header(p, "Quarterly Report", "A sample document for the quick-start demonstration");
    int y = p.paragraph(
        kBody, 72, 180, kWidth - 144,
        "Scrivlet turns the pages of a document into images: every page arrives as an enhanced "
        "metafile and is rendered at the resolution you choose, with antialiasing, sharpening, a "
        "date stamp or a coloured background, then written as JPG, GIF, PNG, BMP or TIF files, one "
        "multipage PDF or an HTML gallery.");
    y = p.paragraph(
        kBody, 72, y, kWidth - 144,
        "This page shows text in two families, a heading and a table. The next pages hold a chart and "
        "a picture, so that every kind of content can be tried with the options of the start menu.");
    p.text(kHeading, 72, y + 10, "Results by quarter", rgb(20, 40, 110));
    y += 50;
    const char* rows[][4] = {{"Quarter", "Pages", "Images", "Growth"},
                             {"First", "1,240", "3,720", "+4 %"},
                             {"Second", "1,515", "4,545", "+22 %"},
                             {"Third", "1,390", "4,170", "-8 %"},
                             {"Fourth", "1,880", "5,640", "+35 %"}};
    const int colWidth = 160, rowHeight = 32;
    for (int r = 0; r < 5; ++r) {
        for (int c = 0; c < 4; ++c) {
            const RectL cell{72 + c * colWidth, y + r * rowHeight, 72 + (c + 1) * colWidth + 1,
                             y + (r + 1) * rowHeight + 1};
            p.box(cell, r == 0 ? rgb(200, 215, 240) : (r % 2 ? rgb(255, 255, 255) : rgb(242, 245, 250)),
                  rgb(120, 130, 160));
            p.text(r == 0 ? Font{"Arial", 14, true} : kBody, cell.left + 10, cell.top + 8, rows[r][c]);
        }
    }
    y += 5 * rowHeight + 30;
    p.paragraph(kItalic, 72, y, kWidth - 144,
                "Figures are invented for the demonstration. Change the resolution, the antialiasing or the "
                "background and see the page rendered again.");
    footer(p, 1);
    p.save(file);
}

void chartPage(const fs::path& file) {
    Page p;
    header(p, "Sales by Region", "A bar chart and a pie chart drawn with lines, rectangles and pies");
    // Bar chart with a dashed grid.
    const int x0 = 110, y0 = 560, h = 340;
    for (int i = 0; i <= 5; ++i) {
        const int y = y0 - i * h / 5;
        p.line({x0, y}, {x0 + 580, y}, rgb(190, 190, 190), 1, gdi::PS_DOT);
        p.text(kSmall, 72, y - 7, std::to_string(i * 20));
    }
    p.line({x0, y0 - h - 10}, {x0, y0}, rgb(0, 0, 0), 2);
    p.line({x0, y0}, {x0 + 590, y0}, rgb(0, 0, 0), 2);
    const char* regions[] = {"North", "East", "South", "West", "Central"};
    const int values[] = {72, 55, 88, 40, 63};
    const ColorRef colours[] = {rgb(66, 114, 196), rgb(237, 125, 49), rgb(112, 173, 71), rgb(255, 192, 0),
                                rgb(91, 155, 213)};
    for (int i = 0; i < 5; ++i) {
        const int left = x0 + 30 + i * 110;
        p.box({left, y0 - values[i] * h / 100, left + 70, y0}, colours[i], rgb(40, 40, 40));
        p.text(kSmall, left + 10, y0 + 10, regions[i]);
        p.text(Font{"Arial", 12, true}, left + 22, y0 - values[i] * h / 100 - 20, std::to_string(values[i]));
    }
    // Pie chart with a legend.
    const RectL pie{150, 660, 430, 940};
    const PointL centre{290, 800};
    double angle = 0;
    for (int i = 0; i < 5; ++i) {
        const double sweep = values[i] / 318.0 * 2 * std::numbers::pi;
        auto at = [&](double a) {
            return PointL{centre.x + static_cast<std::int32_t>(std::lround(200 * std::cos(a))),
                          centre.y - static_cast<std::int32_t>(std::lround(200 * std::sin(a)))};
        };
        Brush b;
        b.color = colours[i];
        const auto brush = p.writer().createBrush(b);
        p.writer().selectObject(brush);
        p.writer().pie(pie, at(angle), at(angle + sweep));
        p.writer().selectStockObject(StockObject::WHITE_BRUSH);
        p.writer().deleteObject(brush);
        angle += sweep;
        p.box({480, 690 + i * 40, 500, 710 + i * 40}, colours[i], rgb(40, 40, 40));
        p.text(kBody, 515, 692 + i * 40, regions[i]);
    }
    footer(p, 2);
    p.save(file);
}

// A small landscape: sky, sun, hills, a lake.
Image32 landscape(int w, int h) {
    Image32 img;
    img.width = w;
    img.height = h;
    img.pixels.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double fx = double(x) / w, fy = double(y) / h;
            int r = static_cast<int>(120 + 100 * fy), g = static_cast<int>(170 + 60 * fy), b = 240;
            if (std::hypot(fx - 0.75, fy - 0.25) < 0.09)
                r = 255, g = 215, b = 80;
            const double hill = 0.62 + 0.08 * std::sin(fx * 9) + 0.05 * std::sin(fx * 23 + 1);
            if (fy > hill)
                r = static_cast<int>(60 + 40 * fx), g = static_cast<int>(140 - 30 * (fy - hill) * 4), b = 60;
            if (fy > 0.82 && fx > 0.15 && fx < 0.65)
                r = 70, g = 130, b = static_cast<int>(200 + 30 * std::sin(x * 0.3));
            img.pixels[static_cast<std::size_t>(y) * w + static_cast<std::size_t>(x)] =
                0xFF000000u | (std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | std::uint32_t(b);
        }
    }
    return img;
}

void picturePage(const fs::path& file) {
    Page p;
    header(p, "Field Notes", "A picture, a caption and a boxed note");
    const Image32 img = landscape(320, 200);
    p.box({101, 189, 694, 562}, rgb(255, 255, 255), rgb(80, 80, 80));
    p.writer().stretchDiBits({102, 190, 693, 561}, img);
    p.text(kItalic, 102, 575, "Figure 1. The lake below the hills, early in the afternoon.", rgb(60, 60, 60));
    int y = p.paragraph(
        kBody, 72, 630, kWidth - 144,
        "Pictures in a page keep their place and their colours; at higher resolutions they are "
        "stretched with the page, and the supersampling smooths the edges of the text around them.");
    // A note in a rounded box with a hatched brush.
    Brush hatch;
    hatch.style = gdi::BS_HATCHED;
    hatch.hatch = gdi::HS_BDIAGONAL;
    hatch.color = rgb(200, 210, 235);
    const auto brush = p.writer().createBrush(hatch);
    Pen pen;
    pen.color = rgb(20, 40, 110);
    pen.width = 2;
    const auto outline = p.writer().createPen(pen);
    p.writer().selectObject(brush);
    p.writer().selectObject(outline);
    p.writer().roundRect({72, y + 10, kWidth - 72, y + 130}, {30, 30});
    p.writer().selectStockObject(StockObject::WHITE_BRUSH);
    p.writer().selectStockObject(StockObject::BLACK_PEN);
    p.writer().deleteObject(brush);
    p.writer().deleteObject(outline);
    p.text(kHeading, 100, y + 30, "Note", rgb(20, 40, 110));
    p.paragraph(
        kBody, 100, y + 65, kWidth - 200,
        "Save the pages with Ctrl+S, or send them by e-mail; the format options decide what the files hold.");
    footer(p, 3);
    p.save(file);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-samples OUTPUT_FOLDER\n");
        return 2;
    }
    const fs::path out = argv[1];
    std::error_code ec;
    fs::create_directories(out, ec);
    reportPage(out / "page0001.emf");
    chartPage(out / "page0002.emf");
    picturePage(out / "page0003.emf");
    std::printf("wrote %s/page0001.emf, page0002.emf, page0003.emf\n", out.c_str());
    return 0;
}
