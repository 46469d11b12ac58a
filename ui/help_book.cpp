#include "ui/help_book.h"

#include <dlfcn.h>

#include <cstdint>
#include <system_error>

#include "app/settings_store.h"
#include "platform/folders.h"

namespace ui {

std::optional<std::filesystem::path> installFolder(const app::SettingsStore& store,
                                                   const platform::PlatformFolders& folders) {
    const auto install = store.readString(platform::RegRoot::LocalMachine, "InstallPath");
    if (!install || install->empty())
        return std::nullopt;
    return folders.nativePath(*install);
}

std::optional<std::filesystem::path> helpBookPath(const app::SettingsStore& store,
                                                  const platform::PlatformFolders& folders) {
    const auto install = installFolder(store, folders);
    if (!install)
        return std::nullopt;
    return *install / kHelpBookFolder / kHelpBookFile;
}

bool callAboutLibrary(const std::filesystem::path& library) {
    // By full path only: a bare name would let the loader search elsewhere.
    if (!library.is_absolute())
        return false;
    void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
        return false;
    void* symbol = ::dlsym(handle, kAboutExport);
    bool called = false;
    if (symbol != nullptr) {
        const auto about = reinterpret_cast<AboutFunction>(symbol);
        about(2, 1, 0, 2026, 0);
        called = true;
    }
    ::dlclose(handle);
    return called;
}

}  // namespace ui
