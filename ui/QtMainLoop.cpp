#include "ui/QtMainLoop.h"

#include <QCoreApplication>
#include <QThread>

namespace orbel {

void TQtMainLoop::Post(std::function<void()> call) {
    // Thread-safe, and wakes the application's thread.
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(call), Qt::QueuedConnection);
}

bool TQtMainLoop::OnMainThread() const {
    const QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

void TQtMainLoop::ProcessPending() {
    if (OnMainThread()) {
        QCoreApplication::processEvents();
    }
}

void InstallQtMainLoop() {
    static TQtMainLoop loop;
    SetMainLoop(&loop);
}

} // namespace orbel
