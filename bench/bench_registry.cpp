// Cost of the registry operations the program makes most: one locked write
// (read-modify-write with an atomic replace) and loadSettings, against hives
// of a few sizes.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/session.h"
#include "app/settings_store.h"
#include "platform/registry/registry.h"

namespace {

namespace fs = std::filesystem;

fs::path freshFolder() {
    std::string pattern = (fs::temp_directory_path() / "scrivlet-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::abort();
    }
    return pattern;
}

void fill(platform::Registry& registry, int values) {
    auto key = registry.createKey(platform::RegRoot::CurrentUser, app::kProductKey, platform::RegAccess::All);
    for (int i = 0; i < values; ++i) {
        key->setDword("Value" + std::to_string(i), static_cast<std::uint32_t>(i));
    }
}

void BM_WriteDword(benchmark::State& state) {
    const fs::path folder = freshFolder();
    platform::Registry registry(platform::RegistryLocation::inFolder(folder));
    fill(registry, static_cast<int>(state.range(0)));
    app::SettingsStore store(registry);
    std::uint32_t n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(store.writeDword(platform::RegRoot::CurrentUser, "KodAntialias", n++));
    }
    fs::remove_all(folder);
}
BENCHMARK(BM_WriteDword)->Arg(40)->Arg(2000)->Unit(benchmark::kMicrosecond);

void BM_LoadSettings(benchmark::State& state) {
    const fs::path folder = freshFolder();
    platform::Registry registry(platform::RegistryLocation::inFolder(folder));
    fill(registry, static_cast<int>(state.range(0)));
    app::SettingsStore store(registry);
    for (auto _ : state) {
        app::Session session;
        benchmark::DoNotOptimize(store.loadSettings(session));
    }
    fs::remove_all(folder);
}
BENCHMARK(BM_LoadSettings)->Arg(40)->Arg(2000)->Unit(benchmark::kMicrosecond);

void BM_ReadDword(benchmark::State& state) {
    const fs::path folder = freshFolder();
    platform::Registry registry(platform::RegistryLocation::inFolder(folder));
    fill(registry, 40);
    app::SettingsStore store(registry);
    for (auto _ : state) {
        benchmark::DoNotOptimize(store.readDword(platform::RegRoot::CurrentUser, "Value7"));
    }
    fs::remove_all(folder);
}
BENCHMARK(BM_ReadDword)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
