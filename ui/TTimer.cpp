#include "ui/TTimer.h"

#include "ui/ExceptionReport.h"

#include <algorithm>
#include <limits>

namespace orbel {

TTimer::TTimer(std::uint32_t intervalMs, bool enabled, QObject* parent)
    : QObject(parent), interval_(intervalMs), enabled_(enabled) {
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &TTimer::Tick);
    Update();
}

void TTimer::SetEnabled(bool enabled) {
    if (enabled == enabled_) {
        return; // a running timer keeps its schedule
    }
    enabled_ = enabled;
    Update();
}

void TTimer::SetInterval(std::uint32_t intervalMs) {
    if (intervalMs == interval_) {
        return;
    }
    interval_ = intervalMs;
    Update();
}

void TTimer::Update() {
    if (!enabled_ || interval_ == 0) {
        timer_.stop();
        return;
    }
    const auto ms = std::min<std::uint32_t>(interval_, std::numeric_limits<int>::max());
    timer_.start(static_cast<int>(ms));
}

void TTimer::Tick() {
    if (!enabled_ || !OnTimer) {
        return;
    }
    RunReported(OnTimer);
}

} // namespace orbel
