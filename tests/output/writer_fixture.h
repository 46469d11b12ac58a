#pragma once
// A machine for writer tests: registry, folders, session with captured pages,
// the format service, the recording port, a mailer and the writer thread;
// fake desktop programs (mail, opener, settings) on PATH that record their
// arguments.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/session.h"
#include "app/settings_store.h"
#include "metafile/emf_writer.h"
#include "output/formats.h"
#include "output/mail.h"
#include "output/writer_services.h"
#include "output/writer_thread.h"
#include "platform/folders.h"
#include "platform/registry/registry.h"
#include "render/page_renderer.h"
#include "tests/support/recording_ui.h"
#include "tests/support/temp_dir.h"

namespace output {

class WriterFixture : public ::testing::Test {
protected:
    testing_support::TempDir dir;
    platform::Registry registry{platform::RegistryLocation::inFolder(dir / "registry")};
    platform::PlatformFolders folders = platform::PlatformFolders::under(dir.path());
    app::SettingsStore store{registry};
    app::Session session;
    testing_support::RecordingUi ui;
    FormatService formats{session, store, folders, ui};
    render::PageRenderer renderer{session, ui};
    Mailer mailer{ui};
    WriterThread thread{session};
    WriterServices services{session,    store, folders, ui, formats, mailer, thread, [this] { rerender(); },
                            "xdg-open", {},    {}};
    std::string savedPath;

    void SetUp() override {
        Magick::InitializeMagick(nullptr);
        savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
        std::filesystem::create_directories(dir / "bin");
        ::setenv("PATH", ((dir / "bin").string() + ":" + savedPath).c_str(), 1);
        formats.encodedPreview = false;
        renderer.applyEncodingOptions = [this](Magick::Image& image, double dpi) {
            formats.applyEncodingOptions(image, dpi);
        };
        session.resolution.CheckN = 2;
        session.resolution.userResolution = 50;
        session.RenderOptions.KodAntialias = 0;
        session.RenderOptions.lvBkGrHathStyle = 100;
        services.opener = "fake-open";
    }
    void TearDown() override {
        thread.wait();
        ::setenv("PATH", savedPath.c_str(), 1);
    }

    // A page of `widthMm` x `heightMm` with a black square in its corner.
    static std::shared_ptr<const metafile::Metafile> pageOf(int widthMm, int heightMm) {
        metafile::EmfWriter w({0, 0, widthMm * 100, heightMm * 100}, {1000, 1000}, {254, 254});
        w.selectStockObject(metafile::StockObject::BLACK_BRUSH);
        w.rectangle({0, 0, 100, 100});
        return std::make_shared<const metafile::Metafile>(w.toMetafile().value());
    }

    // Captured pages named as the capture names them, the first one current
    // and shown.
    void capture(const std::vector<std::string>& names, int widthMm = 60, int heightMm = 80) {
        for (std::size_t i = 0; i < names.size(); ++i) {
            auto& record = session.PageList.record(static_cast<int>(i));
            record.fileName = names[i];
            record.index = static_cast<int>(i);
            record.metafile = pageOf(widthMm, heightMm);
        }
        session.PageList.publish(static_cast<int>(names.size()));
        session.PageList.currentPage = names.empty() ? -1 : 0;
        if (!names.empty())
            rerender();
    }

    void rerender() {
        const int current = session.PageList.currentPage.load();
        if (current < 0 || current >= session.PageList.count())
            return;
        std::lock_guard lock(session.renderLock);
        auto image = std::make_shared<const Magick::Image>(renderer.renderPage(
            app::currentResolution(session), session.PageList.record(current).metafile.get()));
        session.CurrentImage.store(image);
    }

    void use(app::FormatCode code) {
        session.CurrentFormat = {code == app::FormatCode::JPG, code == app::FormatCode::GIF,
                                 code == app::FormatCode::PNG, code == app::FormatCode::BMP,
                                 code == app::FormatCode::TIF};
    }

    // A program on PATH that writes each argument on a line of `log` and
    // ends with `status`.
    void fakeProgram(const std::string& name, int status = 0) {
        const auto script = dir / "bin" / name;
        std::ofstream out(script);
        out << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" << (dir / (name + ".log")).string()
            << "'; done\nprintf '%s\\n' '--end--' >> '" << (dir / (name + ".log")).string() << "'\nexit "
            << status << "\n";
        out.close();
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    }
    // The lines a fake program received, over all its calls.
    std::vector<std::string> programLog(const std::string& name) const {
        std::vector<std::string> lines;
        std::ifstream in(dir / (name + ".log"));
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    app::SaveDialogResult chosen(const std::filesystem::path& path, int type, bool options = false,
                                 bool start = false) const {
        return {true, path.string(), type, options, start};
    }

    std::vector<testing_support::MessageShown> messagesWithText(const std::string& text) const {
        std::vector<testing_support::MessageShown> out;
        for (const auto& m : ui.messages())
            if (m.text == text)
                out.push_back(m);
        return out;
    }

    static Magick::Image readImage(const std::filesystem::path& file) {
        Magick::Image image;
        image.read(file.string());
        return image;
    }
};

}  // namespace output
