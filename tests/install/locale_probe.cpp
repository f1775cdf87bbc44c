// Prints, from wherever this program is placed, the folder in which the port
// errors look for their catalogues and the first message as translated there.
// The install test copies it into an installed bin/ folder.
#include "serial/errors/PortErrorMessages.h"

#include <clocale>
#include <cstdio>

using namespace orbel;

int main() {
    // The tool takes the user's locale when it creates its application object.
    std::setlocale(LC_ALL, "");
    std::printf("%s\n%s\n", PortErrorLocaleDir().c_str(), TranslatePortErrorTable()[0].c_str());
    return 0;
}
