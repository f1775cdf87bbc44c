#include "journal/JournalPlace.h"

#include "base/WideText.h"

namespace orbel {

namespace {

constexpr const char* FileName = "calibration-journal.jsonl";

std::optional<std::string> Given(const TJournalEnvironment& environment, const char* name) {
    std::optional<std::string> value = environment(name);
    return value && !value->empty() ? value : std::nullopt;
}

} // namespace

std::string JournalPathFrom(const TJournalEnvironment& environment, TJournalSystem system) {
    if (const auto chosen = Given(environment, "ORBEL_JOURNAL")) {
        return *chosen;
    }
    if (system == TJournalSystem::Windows) {
        const auto local = Given(environment, "LOCALAPPDATA");
        return local ? *local + "\\ОРБЕЛ\\" + FileName : std::string();
    }
    // A relative XDG_DATA_HOME is to be ignored, as the base directory rules say.
    if (const auto data = Given(environment, "XDG_DATA_HOME"); data && data->front() == '/') {
        return *data + "/orbel/" + FileName;
    }
    const auto home = Given(environment, "HOME");
    return home ? *home + "/.local/share/orbel/" + FileName : std::string();
}

std::string JournalPath() {
#ifdef _WIN32
    constexpr TJournalSystem system = TJournalSystem::Windows;
#else
    constexpr TJournalSystem system = TJournalSystem::Linux;
#endif
    return JournalPathFrom([](const char* name) { return EnvironmentText(name); }, system);
}

} // namespace orbel
