#pragma once

#include "serial_link/transfer/transfer_sender.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

/// A clock for the senders whose time passes only when the test moves it on; timers run out
/// earliest first, those that run out together in the order they were started.
class VirtualClock final : public TransferClock
{
public:
    qint64 nowMs() const override { return m_now; }
    std::unique_ptr<Timer> createTimer(std::function<void()> timeout) override
    {
        return std::make_unique<VirtualTimer>(*this, std::move(timeout));
    }

    void setNow(qint64 now) { m_now = now; }
    int fired() const { return m_fired; }

    /// When the first active timer runs out.
    std::optional<qint64> nextDeadline() const
    {
        const VirtualTimer* first = firstActive();
        return first ? std::optional(first->deadline) : std::nullopt;
    }

    /// Runs out the first active timer.
    void fireFirst()
    {
        VirtualTimer* first = firstActive();
        first->active = false;
        ++m_fired;
        first->timeout();
    }

private:
    struct VirtualTimer final : Timer
    {
        VirtualTimer(VirtualClock& owner, std::function<void()> callback)
            : clock(owner)
            , timeout(std::move(callback))
        {
            clock.m_timers.push_back(this);
        }
        ~VirtualTimer() override { std::erase(clock.m_timers, this); }

        void start(int ms) override
        {
            // A negative time is the sender's fault: abort, which the fuzz targets report.
            if (ms < 0) {
                std::fputs("a timer started for a negative time\n", stderr);
                std::abort();
            }
            deadline = clock.m_now + ms;
            order = ++clock.m_starts;
            active = true;
        }
        void stop() override { active = false; }
        bool isActive() const override { return active; }

        VirtualClock& clock;
        std::function<void()> timeout;
        qint64 deadline = 0;
        qint64 order = 0;
        bool active = false;
    };

    VirtualTimer* firstActive() const
    {
        VirtualTimer* first = nullptr;
        for (VirtualTimer* t : m_timers) {
            if (t->active
                && (!first || t->deadline < first->deadline
                    || (t->deadline == first->deadline && t->order < first->order)))
                first = t;
        }
        return first;
    }

    qint64 m_now = 0;
    qint64 m_starts = 0;
    int m_fired = 0;
    std::vector<VirtualTimer*> m_timers;
};
