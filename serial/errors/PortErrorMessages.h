// The table of the component's 23 error messages, translated once through the
// text domain "cport" where the system has libintl, English elsewhere.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace orbel {

constexpr int PortErrorCount = 23;

// The English texts as stored, indexed by code - 1.
extern const std::array<const char*, PortErrorCount> PortErrorTexts;
// The suffix appended when a system call failed; its first "%d" takes the code.
extern const char* const PortErrorSuffix;

// Binds the text domain and builds the translated table; runs once per process
// (thread-safe). Called when the first port component is created, after the
// application object has set the locale, and at the latest by the first error.
void InitPortErrorMessages();

// The translated message for codes 1 to 23 (builds the table if needed); an
// empty text for any other code.
const std::string& PortErrorMessages(std::int32_t code);

// Builds a table afresh from the current locale, without caching it.
std::array<std::string, PortErrorCount> TranslatePortErrorTable();

// The translated suffix with the system code put in place of its first "%d".
// The catalogue's text is never used as a format string.
std::string PortErrorSuffixFor(std::int32_t systemCode);

// Where the catalogues are looked for: $ORBEL_LOCALEDIR, else <exe>/../locale
// (build tree), else <exe>/../share/locale (installed); empty where the
// messages stay English.
std::string PortErrorLocaleDir();

} // namespace orbel
