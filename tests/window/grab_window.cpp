// Not a test: writes what a window of the X display shows into a PNG file.
// scripts/screenshot-windows draws the Windows program, running under Wine on
// a virtual display, with it.
//   window-grab WINDOW-ID FILE.png
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: window-grab WINDOW-ID FILE.png\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    int toolkitArgc = 1;
    QGuiApplication app(toolkitArgc, argv);
    bool ok = false;
    const WId window = QByteArray(argv[1]).toULongLong(&ok, 0);
    if (!ok) {
        std::fprintf(stderr, "window-grab: not a window id: %s\n", argv[1]);
        return 2;
    }
    const QPixmap picture = QGuiApplication::primaryScreen()->grabWindow(window);
    if (picture.isNull() || !picture.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "window-grab: cannot write window %s into %s\n", argv[1], argv[2]);
        return 1;
    }
    return 0;
}
