#include "ui/TypeAheadGuard.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QWidget>

namespace orbel {

namespace {

TGuardClock& Clock() {
    static TGuardClock clock;
    return clock;
}

TTypeAheadGuard::TimePoint Now() {
    return Clock() ? Clock()() : std::chrono::steady_clock::now();
}

bool IsKeyEvent(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
        return true;
    default:
        return false;
    }
}

} // namespace

void SetTypeAheadClock(TGuardClock clock) {
    Clock() = std::move(clock);
}

TTypeAheadGuard::TTypeAheadGuard(QWidget& box) : box_(box) {
    // The application's filter sees the keys of the box's buttons too.
    QCoreApplication::instance()->installEventFilter(this);
}

TTypeAheadGuard::~TTypeAheadGuard() {
    QCoreApplication::instance()->removeEventFilter(this);
}

bool TTypeAheadGuard::Drops(std::optional<TimePoint> shownAt, TimePoint now) {
    return !shownAt || now - *shownAt < Quiet;
}

bool TTypeAheadGuard::Inside(QObject* watched) const {
    const auto* widget = qobject_cast<const QWidget*>(watched);
    return widget != nullptr && (widget == &box_ || box_.isAncestorOf(widget));
}

bool TTypeAheadGuard::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && watched == &box_ && !shownAt_) {
        shownAt_ = Now();
        return false;
    }
    if (!IsKeyEvent(event->type()) || !Inside(watched)) {
        return false;
    }
    // A key held down since before the box repeats: no repeat answers it.
    const bool repeat =
        (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) &&
        static_cast<const QKeyEvent*>(event)->isAutoRepeat();
    if (!repeat && !Drops(shownAt_, Now())) {
        return false;
    }
    // A shortcut claimed here reaches no button; the key press itself is
    // then dropped as well.
    event->accept();
    return true;
}

} // namespace orbel
