// The program entry: the main window first, then the hidden graph settings
// window, then the event loop until the main window closes.
#include "base/StandardStreams.h"
#ifdef _WIN32
#include "WindowLog.h"
#endif
#include "ui/ExceptionReport.h"
#include "ui/Unit1.h"
#include "ui/Unit2.h"

#include <QApplication>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace orbel;

namespace {

#ifndef _WIN32
bool HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return true;
        }
    }
    return false;
}
#endif

// What the program needs before the toolkit starts. On a POSIX system: output
// into a pipe whose reader has gone (orbel | head) fails the write with EPIPE,
// which each writer reports or ignores, instead of ending the program; and a
// display, without which it says how to get one. Windows always has its
// desktop and no such signal.
bool ReadyToStart([[maybe_unused]] const char* program) {
#ifndef _WIN32
    std::signal(SIGPIPE, SIG_IGN);
    if (!HasDisplay()) {
        std::fprintf(stderr,
                     "orbel: no display found; run it under a virtual one: "
                     "xvfb-run -a %s\n",
                     program);
        return false;
    }
#endif
    return true;
}

} // namespace

int main(int /*argc*/, char** argv) {
    OpenClosedStandardStreams(); // before the display or a port can take a free descriptor
    if (!ReadyToStart(argv[0])) {
        return 1;
    }
#ifdef _WIN32
    SendDiagnosticsToLog(); // a window program has no standard error there
#endif
    // The program reads no command line: the toolkit gets the program name only.
    int toolkitArgc = 1;
    QApplication app(toolkitArgc, argv);
    QApplication::setApplicationName(QStringLiteral("orbel"));
    InstallStandardExceptionReport();
    TForm1 form1;
    TForm2 form2(&form1);
    Form2 = &form2;
    form1.show();
    const int result = QApplication::exec();
    Form2 = nullptr;
    return result;
}
