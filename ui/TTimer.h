// A window-thread timer with the semantics the window relies on: enabling a
// running timer does not restart it; a new interval restarts the period; an
// interval of 0 stops the ticks; ticks that fall due while the thread is busy
// are merged into one. Ticks are precise (a coarse timer may fire 5 % early).
#pragma once

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>

namespace orbel {

class TTimer : public QObject {
    Q_OBJECT
public:
    TTimer(std::uint32_t intervalMs, bool enabled, QObject* parent = nullptr);

    // The tick handler; whatever escapes it goes to the application's standard
    // exception report and the timer keeps running.
    std::function<void()> OnTimer;

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    std::uint32_t Interval() const { return interval_; }
    void SetInterval(std::uint32_t intervalMs);

private:
    // Starts the period afresh, or stops the ticks when disabled or at interval 0.
    void Update();
    void Tick();

    QTimer timer_;
    std::uint32_t interval_;
    bool enabled_;
};

} // namespace orbel
