#pragma once
// A machine for capture tests: registry, folders, an emulated spooler with a
// capture printer, a session, the settings store and a recording UI.

#include <gtest/gtest.h>

#include <memory>

#include "app/page_acquisition.h"
#include "app/session.h"
#include "app/settings_store.h"
#include "metafile/emf_writer.h"
#include "platform/folders.h"
#include "platform/registry/registry.h"
#include "platform/spooler/spooler.h"
#include "tests/support/recording_ui.h"
#include "tests/support/temp_dir.h"

namespace app {

class CaptureFixture : public ::testing::Test {
protected:
    testing_support::TempDir dir;
    platform::Registry registry{platform::RegistryLocation::inFolder(dir / "registry")};
    platform::PlatformFolders folders = platform::PlatformFolders::under(dir.path());
    SettingsStore store{registry};
    Session session;
    testing_support::RecordingUi ui;
    std::unique_ptr<platform::Spooler> spooler;
    std::unique_ptr<PageAcquisition> acquisition;

    void SetUp() override { usePlatform(platform::WindowsPlatform::Win2000); }

    void usePlatform(platform::WindowsPlatform p) {
        platform::ensureLocalAppDataValue(registry, folders);
        spooler = std::make_unique<platform::Spooler>(registry, folders.windowsFolder().value(), p);
        acquisition = std::make_unique<PageAcquisition>(session, store, folders, *spooler, ui);
    }

    platform::PrinterInfo addPrinter(const std::string& name, bool paused = true,
                                     std::uint32_t attributes = 0, const std::string& port = "LPT1:") {
        platform::PrinterInfo p;
        p.name = name;
        p.port = port;
        p.driver = "Generic";
        p.dataType = "NT EMF 1.008";
        p.attributes = attributes;
        p.status = paused ? platform::PRINTER_STATUS_PAUSED : 0;
        p.printQuality = 600;
        EXPECT_TRUE(spooler->addPrinter(p));
        return p;
    }

    // A small page with a rectangle whose size tells pages apart.
    static std::vector<std::byte> page(int size) {
        metafile::EmfWriter w({0, 0, 2540, 2540}, {1000, 1000}, {254, 254});
        w.rectangle({0, 0, size, size});
        return w.finish();
    }

    std::filesystem::path work() const { return folders.workFolder().value(); }
};

}  // namespace app
