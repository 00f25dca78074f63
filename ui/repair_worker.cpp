#include "ui/repair_worker.h"

#include "batch/repair_batch.h"
#include "engine/log_texts.h"

#include <QFile>
#include <QThread>

std::atomic<QThread*> g_pRepairThread{nullptr};

namespace {

QString fromEngine(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

int toInt(std::size_t value)
{
    return static_cast<int>(value); // list sizes and text positions, far below INT_MAX
}

} // namespace

void RepairGate::reset()
{
    const std::lock_guard lock(m_mutex);
    m_held = false;
    m_dialogClosed = false;
    m_abandoned = false;
}

void RepairGate::hold()
{
    const std::lock_guard lock(m_mutex);
    m_held = true;
}

void RepairGate::release()
{
    {
        const std::lock_guard lock(m_mutex);
        m_held = false;
    }
    m_changed.notify_all();
}

void RepairGate::dialogClosed()
{
    {
        const std::lock_guard lock(m_mutex);
        m_dialogClosed = true;
    }
    m_changed.notify_all();
}

void RepairGate::abandon()
{
    {
        const std::lock_guard lock(m_mutex);
        m_abandoned = true;
    }
    m_changed.notify_all();
}

void RepairGate::waitWhileHeld()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_held || m_abandoned; });
}

void RepairGate::waitForDialog()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_dialogClosed || m_abandoned; });
}

RepairWorker::RepairWorker(std::vector<std::string> paths, std::string destFolder,
                           std::atomic<bool>& stopRequested, RepairGate& gate)
    : m_paths(std::move(paths)), m_destFolder(std::move(destFolder)),
      m_stopRequested(stopRequested), m_gate(gate)
{
}

void RepairWorker::run()
{
    (void)RepairThreadProc(*this); // the exit code matters to no one here
    QThread::currentThread()->quit();
}

bool RepairWorker::IsStopRequested()
{
    // The batch also asks once after its last file. Waiting here too means a Stop question
    // still open at that moment is answered before the run decides how it ended.
    m_gate.waitWhileHeld();
    return m_stopRequested.load();
}

void RepairWorker::ClearStopRequest()
{
    // The view clears the flag before it starts the worker. Clearing it here as well would
    // forget a Stop confirmed before the worker got this far, with the Stop button hidden.
}

void RepairWorker::WaitWhileHeld()
{
    m_gate.waitWhileHeld();
}

void RepairWorker::ClearLog()
{
    emit logCleared();
}

void RepairWorker::AppendLine(std::string_view line)
{
    emit lineAppended(fromEngine(line));
}

void RepairWorker::SetInfoText(const std::string& text)
{
    emit infoTextChanged(fromEngine(text));
}

void RepairWorker::ToggleInfoBold(std::size_t first, std::size_t last)
{
    emit infoBoldToggled(toInt(first), toInt(last));
}

void RepairWorker::FileFinished(std::size_t index, std::size_t count, const FileResult& result)
{
    ++m_processed;
    if (result.saved())
        ++m_saved;
    emit fileFinished(toInt(index + 1), toInt(count), result.saved());
}

void RepairWorker::ShowAbortMessage(const std::string& text)
{
    m_gate.waitWhileHeld(); // never a second window over an open Stop question
    emit abortMessageRequested(fromEngine(text));
    m_gate.waitForDialog();
}

void RepairWorker::ShowCompletion(const std::string& destFolder)
{
    m_gate.waitWhileHeld();
    emit completionRequested(QFile::decodeName(QByteArray::fromStdString(destFolder)), m_saved,
                             m_processed);
    m_gate.waitForDialog();
}

void RepairWorker::ShowEndButtons()
{
    emit endButtonsRequested();
}

int RepairThreadProc(RepairWorker& worker)
{
    try {
        (void)RunRepairBatch(worker); // the view learnt the outcome file by file
    } catch (...) {
        // Out of memory between files, say: the log says so and the user can go back.
        worker.Log().AppendLine(logtext::RepairingFileFail);
        worker.ShowEndButtons();
    }
    g_pRepairThread.store(nullptr);
    return 1;
}
