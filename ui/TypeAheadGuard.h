// Keeps type-ahead from answering a question box: a key pressed before the
// box was visible, or within its first 0.3 s, is dropped, and so is every
// repeat of a key held down, so that a double or held Enter on a button that
// asks does not answer with the default button before the question can be
// read. A deliberate key after that, or a click at any time, answers as usual.
#pragma once

#include <QObject>

#include <chrono>
#include <functional>
#include <optional>

class QWidget;

namespace orbel {

using TGuardClock = std::function<std::chrono::steady_clock::time_point()>;

class TTypeAheadGuard : public QObject {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    static constexpr std::chrono::milliseconds Quiet{300};

    // Guards `box` and every widget inside it from now on; `box` must outlive
    // the guard.
    explicit TTypeAheadGuard(QWidget& box);
    ~TTypeAheadGuard() override;
    TTypeAheadGuard(const TTypeAheadGuard&) = delete;
    TTypeAheadGuard& operator=(const TTypeAheadGuard&) = delete;

    // Whether a key pressed at `now` is dropped, the box having become
    // visible at `shownAt` (nothing: not yet visible).
    static bool Drops(std::optional<TimePoint> shownAt, TimePoint now);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool Inside(QObject* watched) const;

    QWidget& box_;
    std::optional<TimePoint> shownAt_;
};

// The clock the guards read: the steady clock unless a test installs another
// (an empty function restores it).
void SetTypeAheadClock(TGuardClock clock);

} // namespace orbel
