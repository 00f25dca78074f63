// The batch worker of the desktop program: RunRepairBatch on a thread of its own, over a snapshot
// of the file list and the destination folder taken when the run starts. It never touches a
// widget; every call of the batch becomes a signal carrying values, which the view receives
// queued on the interface thread. The worker waits only at its gate (RepairGate).
#pragma once

#include "batch/batch_view.h"
#include "engine/log_sink.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

class QThread;

// The running repair worker's thread, or null while no run is in progress. The interface thread
// sets it before the worker starts; the worker clears it as its very last step.
extern std::atomic<QThread*> g_pRepairThread;

// Where the worker waits for the interface thread: while Stop's question is open (the hold),
// and while its end-of-run message or dialog is open. It belongs to the view and outlives every
// run, so the interface thread may use it whether or not a worker still exists.
class RepairGate
{
public:
    // Interface thread: before a run starts.
    void reset();
    // Interface thread: the worker makes no progress past its next safe point until release().
    void hold();
    void release();
    // Interface thread: the end-of-run message or dialog was closed.
    void dialogClosed();
    // Interface thread: the view is going away; no wait blocks from now on.
    void abandon();

    // Worker: returns at once unless held, else when released (or abandoned).
    void waitWhileHeld();
    // Worker: returns once dialogClosed() (or abandon()) was called for this run.
    void waitForDialog();

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_held = false;
    bool m_dialogClosed = false;
    bool m_abandoned = false;
};

class RepairWorker final : public QObject, public BatchView, private LogSink
{
    Q_OBJECT

public:
    // paths and destFolder are the run's snapshot (destFolder ends with a separator); the stop
    // flag and the gate belong to the view and outlive the worker.
    RepairWorker(std::vector<std::string> paths, std::string destFolder,
                 std::atomic<bool>& stopRequested, RepairGate& gate);

    std::size_t ItemCount() override { return m_paths.size(); }
    std::string ItemPath(std::size_t index) override { return m_paths.at(index); }
    std::string DestFolder() override { return m_destFolder; }
    bool IsStopRequested() override;
    void ClearStopRequest() override;
    void WaitWhileHeld() override;
    void ClearLog() override;
    LogSink& Log() override { return *this; }
    void SetInfoText(const std::string& text) override;
    void ToggleInfoBold(std::size_t first, std::size_t last) override;
    void FileFinished(std::size_t index, std::size_t count, const FileResult& result) override;
    void ShowAbortMessage(const std::string& text) override;
    void ShowCompletion(const std::string& destFolder) override;
    void ShowEndButtons() override;

public slots:
    // The thread's work: RepairThreadProc, then the thread's event loop is told to end.
    void run();

signals:
    void logCleared();
    void lineAppended(const QString& line);
    void infoTextChanged(const QString& text);
    // Characters first..last (counted from 0, both included) of the information text.
    void infoBoldToggled(int first, int last);
    // done files of count are finished, the last one saved or not.
    void fileFinished(int done, int count, bool saved);
    // The worker waits until the gate hears that the message or dialog was closed.
    void abortMessageRequested(const QString& text);
    // saved of processed files have their repaired copy in folder.
    void completionRequested(const QString& folder, int saved, int processed);
    void endButtonsRequested();

private:
    void AppendLine(std::string_view line) override;

    std::vector<std::string> m_paths;
    std::string m_destFolder;
    std::atomic<bool>& m_stopRequested;
    RepairGate& m_gate;
    int m_processed = 0; // written and read on the worker's thread only
    int m_saved = 0;
};

// The worker thread's procedure: runs the batch, then clears g_pRepairThread. Nothing escapes
// it: an unexpected error is written to the log and the run ends with the Back and Exit
// buttons. Returns 1, the thread's exit code.
int RepairThreadProc(RepairWorker& worker);
