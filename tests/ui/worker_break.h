// Holds the repair worker of the view's next run at one line of its log, as a breakpoint would,
// so that a test (or a screenshot) can act while the worker is known to stand there. The worker
// waits inside its own thread until resume(); destroying the break lets it go for good.
#pragma once

#include "ui/tarvel_view.h"

#include <QSemaphore>
#include <QString>

#include <atomic>
#include <memory>

class WorkerBreak
{
public:
    WorkerBreak(CTarvelForOpenOfficeView& view, const QString& line) : m_state(new State)
    {
        m_state->line = line;
        QObject::connect(&view, &CTarvelForOpenOfficeView::repairStarted, &view,
                         [state = m_state](RepairWorker* worker) {
                             // Direct: the check runs on the worker's thread, as the line is
                             // written.
                             QObject::connect(
                                 worker, &RepairWorker::lineAppended, worker,
                                 [state](const QString& logged) {
                                     if (logged != state->line || state->passed.exchange(true))
                                         return;
                                     state->reached.release();
                                     state->resume.acquire();
                                 },
                                 Qt::DirectConnection);
                         });
    }
    ~WorkerBreak() { resume(); }
    WorkerBreak(const WorkerBreak&) = delete;
    WorkerBreak& operator=(const WorkerBreak&) = delete;

    // Waits, without serving the window, until the worker stands at the line.
    [[nodiscard]] bool waitUntilReached(int timeoutMs)
    {
        return m_state->reached.tryAcquire(1, timeoutMs);
    }
    void resume() { m_state->resume.release(); }

private:
    struct State
    {
        QString line;
        std::atomic<bool> passed{false};
        QSemaphore reached;
        QSemaphore resume;
    };
    std::shared_ptr<State> m_state;
};
