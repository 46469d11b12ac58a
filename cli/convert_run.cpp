#include "cli/convert_run.h"

#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/page_acquisition.h"
#include "cli/document_writers.h"
#include "cli/image_library.h"
#include "cli/output_names.h"
#include "cli/page_converter.h"
#include "cli/page_report.h"
#include "metafile/metafile.h"
#include "output/formats.h"

namespace cli {
namespace {

namespace fs = std::filesystem;

// A private folder for the pages cut out of spool files and the documents'
// settings, made when first asked for (a run of metafiles needs none) and
// removed at the end. Asked for on the run's own thread only.
class ScratchFolder {
public:
    ScratchFolder() = default;
    ~ScratchFolder() {
        std::error_code ec;
        if (!m_path.empty())
            fs::remove_all(m_path, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    // Empty when no folder can be made.
    const fs::path& path() const {
        if (!m_tried) {
            m_tried = true;
            const char* tmp = std::getenv("TMPDIR");
            std::string pattern =
                (fs::path(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") / "scrivlet-convert.XXXXXX");
            if (::mkdtemp(pattern.data()) != nullptr)
                m_path = pattern;
        }
        return m_path;
    }

private:
    mutable fs::path m_path;
    mutable bool m_tried = false;
};

struct PageTask {
    std::size_t input = 0;
    fs::path source;    // the page's metafile
    std::string label;  // how messages name the page
    fs::path target;
};

// Messages, the report and the progress bar from several workers.
class Console {
public:
    Console(const RunSettings& run, int pages) : m_run(run), m_total(pages) {}

    void error(const std::string& text) {
        std::lock_guard lock(m_mutex);
        clearBar();
        std::fprintf(m_run.err, "scrivlet-convert: %s\n", text.c_str());
        drawBar();
    }
    void written(const std::string& text) {
        std::lock_guard lock(m_mutex);
        clearBar();
        std::fputs(text.c_str(), m_run.out);
        std::fflush(m_run.out);
        drawBar();
    }
    void pageDone() {
        std::lock_guard lock(m_mutex);
        ++m_done;
        drawBar();
    }
    void finish() {
        std::lock_guard lock(m_mutex);
        clearBar();
    }

private:
    void clearBar() {
        if (m_run.progressBar && m_shown)
            std::fputs("\r\033[K", m_run.err);
        m_shown = false;
    }
    void drawBar() {
        if (!m_run.progressBar || m_total <= 0)
            return;
        constexpr int kWidth = 40;
        const int filled = m_done * kWidth / m_total;
        std::fprintf(m_run.err, "\r[%s%s] %d/%d pages",
                     std::string(static_cast<std::size_t>(filled), '#').c_str(),
                     std::string(static_cast<std::size_t>(kWidth - filled), ' ').c_str(), m_done, m_total);
        std::fflush(m_run.err);
        m_shown = true;
    }

    const RunSettings& m_run;
    std::mutex m_mutex;
    int m_total = 0;
    int m_done = 0;
    bool m_shown = false;
};

// The pages of every input; a spool file is cut into `scratch`.
std::vector<InputPages> collectPages(const CommandLine& line, const ScratchFolder& scratch,
                                     std::vector<std::vector<fs::path>>& sources,
                                     std::vector<std::optional<std::string>>& failures, Console& console) {
    std::vector<InputPages> inputs;
    for (std::size_t i = 0; i < line.inputs.size(); ++i) {
        const fs::path& input = line.inputs[i];
        InputPages pages{input, isSpoolFile(input), 0};
        std::vector<fs::path>& list = sources.emplace_back();
        std::optional<std::string>& failure = failures.emplace_back();
        if (!pages.spool) {
            pages.pages = 1;
            list.push_back(input);
        } else if (std::error_code ec; !fs::is_regular_file(input, ec)) {
            failure = ec ? ec.message() : std::string("not a regular file");
        } else if (scratch.path().empty()) {
            failure = std::string("no temporary folder for its pages");
        } else {
            const auto job = static_cast<std::uint32_t>(i + 1);
            const auto cut = app::cutEmfPages(input, job, scratch.path() / std::to_string(job));
            list = cut.pages;
            pages.pages = static_cast<int>(cut.pages.size());
            if (cut.pages.empty()) {
                failure = std::string("no enhanced-metafile pages: not an EMF spool file, or damaged");
            } else if (cut.pageLimit) {
                console.error(input.string() + ": " + cut.problem);
            } else if (!cut.readToEnd) {
                console.error(input.string() + ": damaged spool file: it ends inside a record; the " +
                              std::to_string(cut.pages.size()) + " page(s) before the damage are converted");
            }
            if (cut.rejectedPages > 0) {
                console.error(input.string() + ": " + std::to_string(cut.rejectedPages) +
                              " page record(s) are not enhanced metafiles and were left out");
            }
        }
        inputs.push_back(pages);
    }
    return inputs;
}

// Renders one page and reports it; `failure` is set when it was not written.
void convertOne(PageConverter& converter, const PageTask& task, const CommandLine& line, int stripThreads,
                Console& console, std::optional<std::string>& failure) {
    auto page = metafile::Metafile::fromFile(task.source);
    if (!page) {
        failure = page.error().message;
        return;
    }
    const PageOutcome outcome = converter.convert(*page, task.target, stripThreads);
    if (outcome.error) {
        failure = *outcome.error;
        return;
    }
    std::string text = task.label + " -> " + task.target.string() + " (" + std::to_string(outcome.columns) +
                       "x" + std::to_string(outcome.rows) + ")\n";
    if (line.report)
        text += reportText(task.label, outcome.report);
    console.written(text);
    if (!outcome.note.empty())
        console.error(task.label + ": " + outcome.note);
    if (const std::string damage = damageLine(task.label, outcome.report); !damage.empty())
        console.error(damage);
}

// Says each input that gave no pages; true when there was one.
bool reportInputFailures(const std::vector<InputPages>& inputs,
                         const std::vector<std::optional<std::string>>& failures, Console& console) {
    bool failed = false;
    for (std::size_t i = 0; i < failures.size(); ++i) {
        if (failures[i]) {
            console.error(inputs[i].input.string() + ": " + *failures[i]);
            failed = true;
        }
    }
    return failed;
}

// The documents over every page of every input, in input order.
int writeDocumentsRun(const CommandLine& line, const std::vector<InputPages>& inputs,
                      const std::vector<std::vector<fs::path>>& sources,
                      const std::vector<std::optional<std::string>>& failures, const ScratchFolder& scratch,
                      const RunSettings& run, Console& console) {
    if (scratch.path().empty()) {
        console.error("no temporary folder for the documents' pages");
        return kSomeFailed;
    }
    // Every document's pages are whole images of the library.
    ImageLibrary library(run.libraryThreadLimit);
    library.start();
    std::vector<DocumentPage> pages;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        for (std::size_t p = 0; p < sources[i].size(); ++p) {
            pages.push_back({sources[i][p], inputs[i].spool
                                                ? inputs[i].input.string() + " page " + std::to_string(p + 1)
                                                : inputs[i].input.string()});
        }
    }
    const DocumentSinks sinks{[&console](const std::string& text) { console.error(text); },
                              [&console](const std::string& text) { console.written(text); }};
    const bool written = writeDocuments(line, pages, scratch.path(), sinks);
    const bool inputFailed = reportInputFailures(inputs, failures, console);
    return written && !inputFailed ? kAllWritten : kSomeFailed;
}

}  // namespace

int runConversion(const CommandLine& line, const RunSettings& run) {
    Console console(run, 0);
    ScratchFolder scratch;
    std::vector<std::vector<fs::path>> sources;
    std::vector<std::optional<std::string>> failures;
    const auto inputs = collectPages(line, scratch, sources, failures, console);

    if (line.writesDocuments())
        return writeDocumentsRun(line, inputs, sources, failures, scratch, run, console);

    const std::string extension(output::extensionOf(line.settings.format));
    const auto names = outputNames(inputs, line.baseName, extension);
    if (const auto clash = findClash(inputs, names)) {
        console.error(clash->first.string() + " and " + clash->second.string() + " would both write " +
                      clash->name + "; nothing was written (use --base-name or separate runs)");
        return kBadUsage;
    }
    std::error_code ec;
    fs::create_directories(line.outputFolder, ec);
    if (ec) {
        console.error("cannot make the output folder " + line.outputFolder.string() + ": " + ec.message());
        return kSomeFailed;
    }

    std::vector<PageTask> tasks;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        for (std::size_t p = 0; p < sources[i].size() && p < names[i].size(); ++p) {
            const std::string label = inputs[i].spool
                                          ? inputs[i].input.string() + " page " + std::to_string(p + 1)
                                          : inputs[i].input.string();
            tasks.push_back(PageTask{i, sources[i][p], label, line.outputFolder / names[i][p]});
        }
    }

    // Threads: pages in parallel; the threads left over draw strips of a page.
    const int allowed =
        line.jobs > 0 ? line.jobs : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    const int workers = std::max(1, std::min<int>(allowed, static_cast<int>(tasks.size())));
    const int stripThreads = std::max(1, allowed / workers);

    // Pages in parallel already keep every core busy: the image library's
    // own thread teams on top of them only contend for the same cores.
    ImageLibrary library(workers > 1 ? 1 : run.libraryThreadLimit);

    Console progress(run, static_cast<int>(tasks.size()));
    std::vector<std::optional<std::string>> pageFailures(tasks.size());
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        // Pages need no settings store: only the documents' PDF pages read
        // one.
        PageConverter converter(line.settings);
        converter.library = &library;
        if (run.streamAboveStrips >= 0)
            converter.streamAboveStrips = run.streamAboveStrips;
        if (run.jpegHeldLimit > 0)
            converter.jpegHeldLimit = run.jpegHeldLimit;
        for (std::size_t t = next++; t < tasks.size(); t = next++) {
            const PageTask& task = tasks[t];
            try {
                convertOne(converter, task, line, stripThreads, progress, pageFailures[t]);
            } catch (const std::exception& e) {
                pageFailures[t] = std::string("the page could not be converted: ") + e.what();
            }
            if (pageFailures[t])
                progress.error(task.label + ": " + *pageFailures[t]);
            progress.pageDone();
        }
    };
    std::vector<std::thread> threads;
    for (int w = 1; w < workers; ++w) threads.emplace_back(work);
    work();
    for (auto& thread : threads) thread.join();
    progress.finish();

    bool failed = reportInputFailures(inputs, failures, console);
    for (const auto& failure : pageFailures) failed = failed || failure.has_value();
    return failed ? kSomeFailed : kAllWritten;
}

}  // namespace cli
