// Where the port messages get their language. One source is built in, chosen
// by CMake: the "cport" catalogues through libintl where the system has it,
// the Russian catalogue built into the program on Windows (chosen by the
// user's interface language), or the English texts as they are.
#pragma once

#include <string>

namespace orbel {

// The text in the language of the current locale (the English text itself
// when no translation is found).
std::string TranslatedPortText(const char* english);

// The English suffix as this system words it: " (win error code: %d)" where
// the code is Windows' own, " (system error code: %d)" where it is an errno.
// Used when the suffix has no translation.
const char* EnglishPortErrorSuffix();

#ifdef _WIN32
// The built-in Russian text, whatever the user's language (the English text
// itself when the catalogue has none).
std::string RussianPortText(const char* english);
// The user's interface language is Russian (Wine takes it from LANG).
bool UserReadsRussian();
#endif

} // namespace orbel
