// Where the port messages get their language. One of two sources is built
// in, chosen by CMake: the "cport" catalogues through libintl where the
// system has it, or the English texts as they are.
#pragma once

#include <string>

// The text in the language of the current locale (the English text itself
// when no translation is found).
std::string TranslatedPortText(const char* english);

// The English suffix as this system words it: " (win error code: %d)" where
// the code is Windows' own, " (system error code: %d)" where it is an errno.
// Used when the suffix has no translation.
const char* EnglishPortErrorSuffix();
