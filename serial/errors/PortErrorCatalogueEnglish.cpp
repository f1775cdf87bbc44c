#include "serial/errors/PortErrorCatalogue.h"
#include "serial/errors/PortErrorMessages.h"

// No catalogues are built for this system: the messages stay English.
std::string PortErrorLocaleDir() {
    return {};
}

const char* EnglishPortErrorSuffix() {
    return PortErrorSuffix;
}

std::string TranslatedPortText(const char* english) {
    return english;
}
