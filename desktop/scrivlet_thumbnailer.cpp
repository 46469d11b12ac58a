// scrivlet-thumbnailer -s SIZE INPUT OUTPUT: a PNG of the metafile's page
// whose longer side is SIZE pixels, for file managers. The page is rendered
// at the resolution that gives that size, through libscrivlet-emf. The PNG
// is written beside OUTPUT and renamed onto it when complete; a damaged
// file, a failure or the time budget leaves no file behind.

#include <png.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "capi/scrivlet_emf.h"

namespace {

constexpr int kMaxSize = 4096;
constexpr unsigned kDefaultBudgetSeconds = 10;

// The temporary file's name, for the time budget's handler (which may only
// call async-signal-safe functions).
char g_temporary[4096] = {};

extern "C" void budgetSpent(int) {
    if (g_temporary[0] != '\0')
        unlink(g_temporary);
    static const char text[] = "scrivlet-thumbnailer: time budget spent, no thumbnail written\n";
    ssize_t ignored = write(STDERR_FILENO, text, sizeof text - 1);
    (void)ignored;
    _exit(1);
}

int usage(const char* why) {
    std::fprintf(stderr,
                 "scrivlet-thumbnailer: %s\n"
                 "usage: scrivlet-thumbnailer [-t SECONDS] -s SIZE INPUT OUTPUT\n",
                 why);
    return 2;
}

bool parseNumber(const char* text, long low, long high, long& value) {
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || parsed < low || parsed > high)
        return false;
    value = parsed;
    return true;
}

struct Page {
    scrivlet_emf* emf = nullptr;
    ~Page() { scrivlet_emf_close(emf); }
};

// The resolution at which the page's longer side is `size` pixels.
bool resolutionFor(scrivlet_emf* emf, int size, double& dpi, std::uint32_t& width, std::uint32_t& height) {
    double wmm = 0, hmm = 0;
    if (scrivlet_emf_page_size_mm(emf, &wmm, &hmm) != SCRIVLET_EMF_OK || !(wmm > 0) || !(hmm > 0))
        return false;
    dpi = size * 25.4 / std::max(wmm, hmm);
    // The pixel count is rounded up: a resolution a hair too high gives one
    // pixel more, so step down until it fits.
    for (int attempt = 0; attempt < 8; ++attempt) {
        if (scrivlet_emf_pixel_size(emf, dpi, &width, &height) != SCRIVLET_EMF_OK)
            return false;
        const std::uint32_t longer = std::max(width, height);
        if (longer == static_cast<std::uint32_t>(size))
            return true;
        dpi *= longer > static_cast<std::uint32_t>(size) ? (1 - 1e-9) : (1 + 1e-9);
    }
    return false;
}

struct PngWrite {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngWrite() { png_destroy_write_struct(&png, &info); }
};

bool writePng(std::FILE* file, const std::vector<std::uint8_t>& rgba, std::uint32_t width,
              std::uint32_t height) {
    PngWrite w;
    w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (w.png == nullptr)
        return false;
    w.info = png_create_info_struct(w.png);
    if (w.info == nullptr)
        return false;
    std::vector<png_bytep> rows(height);
    for (std::uint32_t y = 0; y < height; ++y)
        rows[y] = const_cast<png_bytep>(rgba.data() + static_cast<std::size_t>(y) * width * 4);
    if (setjmp(png_jmpbuf(w.png)))
        return false;
    png_init_io(w.png, file);
    png_set_compression_level(w.png, 3);
    // The page is opaque: the alpha channel is left out.
    png_set_IHDR(w.png, w.info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(w.png, w.info);
    png_set_filler(w.png, 0, PNG_FILLER_AFTER);
    png_write_image(w.png, rows.data());
    png_write_end(w.png, nullptr);
    return true;
}

int fail(const std::string& why) {
    if (g_temporary[0] != '\0')
        unlink(g_temporary);
    std::fprintf(stderr, "scrivlet-thumbnailer: %s\n", why.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    long size = 0, budget = kDefaultBudgetSeconds;
    std::vector<const char*> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-s" || arg == "--size") {
            if (i + 1 >= argc || !parseNumber(argv[++i], 1, kMaxSize, size))
                return usage("SIZE must be a number of pixels from 1 to 4096");
        } else if (arg == "-t" || arg == "--time-budget") {
            if (i + 1 >= argc || !parseNumber(argv[++i], 1, 3600, budget))
                return usage("the time budget must be 1 to 3600 seconds");
        } else if (arg == "--") {
            for (++i; i < argc; ++i) files.push_back(argv[i]);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usage(("unknown option " + arg).c_str());
        } else {
            files.push_back(argv[i]);
        }
    }
    if (size == 0)
        return usage("no SIZE given");
    if (files.size() != 2)
        return usage("give one INPUT and one OUTPUT");
    const std::string input = files[0], output = files[1];

    // The temporary file beside OUTPUT, so the rename stays on its file
    // system; the handler removes it when the budget is spent.
    const std::string pattern = output + ".XXXXXX";
    if (pattern.size() >= sizeof g_temporary)
        return fail("the output name is too long");
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    struct sigaction action {};
    action.sa_handler = budgetSpent;
    sigemptyset(&action.sa_mask);
    sigaction(SIGALRM, &action, nullptr);
    alarm(static_cast<unsigned>(budget));

    Page page;
    if (scrivlet_emf_open_file(input.c_str(), &page.emf) != SCRIVLET_EMF_OK)
        return fail(input + ": " + scrivlet_emf_last_error());
    double dpi = 0;
    std::uint32_t width = 0, height = 0;
    if (!resolutionFor(page.emf, static_cast<int>(size), dpi, width, height))
        return fail(input + ": the page has no size a thumbnail can be made at");
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width) * height * 4);
    if (scrivlet_emf_render(page.emf, dpi, 0, height, rgba.data(), static_cast<std::size_t>(width) * 4,
                            rgba.size()) != SCRIVLET_EMF_OK)
        return fail(input + ": " + scrivlet_emf_last_error());

    // mkstemp and the name the handler sees are set with the signal held
    // off, so an alarm in between cannot leave the file behind.
    sigset_t block, previous;
    sigemptyset(&block);
    sigaddset(&block, SIGALRM);
    sigprocmask(SIG_BLOCK, &block, &previous);
    const int fd = mkstemp(name.data());
    if (fd >= 0)
        std::memcpy(g_temporary, name.data(), name.size());
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (fd < 0)
        return fail("cannot create a file beside " + output + ": " + std::strerror(errno));
    std::FILE* file = fdopen(fd, "wb");
    if (file == nullptr) {
        close(fd);
        return fail("cannot write " + output);
    }
    const bool written = writePng(file, rgba, width, height);
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed)
        return fail("cannot write " + output);
    sigprocmask(SIG_BLOCK, &block, nullptr);
    if (std::rename(g_temporary, output.c_str()) != 0)
        return fail("cannot replace " + output + ": " + std::strerror(errno));
    g_temporary[0] = '\0';
    return 0;
}
