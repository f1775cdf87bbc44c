#include "serial/errors/PortErrorCatalogue.h"
#include "serial/errors/PortErrorMessages.h"

#include <windows.h>

#include <cstring>

namespace orbel {

namespace {

struct TTranslation {
    const char* english;
    const char* russian;
};

// The Russian "cport" catalogue, generated from po/ru.po at build time.
constexpr TTranslation Russian[] = {
#include "PortErrorCatalogueRu.inc"
};

} // namespace

bool UserReadsRussian() {
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_RUSSIAN;
}

// The catalogue is built into the program: there is no folder to look in.
std::string PortErrorLocaleDir() {
    return {};
}

// The code in the suffix is Windows' own.
const char* EnglishPortErrorSuffix() {
    return PortErrorSuffix;
}

std::string RussianPortText(const char* english) {
    for (const TTranslation& entry : Russian) {
        if (std::strcmp(entry.english, english) == 0) {
            return entry.russian;
        }
    }
    return english;
}

std::string TranslatedPortText(const char* english) {
    // Russian where the user's interface language is, English otherwise.
    static const bool russian = UserReadsRussian();
    return russian ? RussianPortText(english) : english;
}

} // namespace orbel
