// CTarvelForOpenOfficeView: the wizard view that fills the main frame. This is its frame-facing
// part: the file list and the repair log with the page switch between them, the commands the
// frame routes to it, and the answer to the frame's busy query.
#pragma once

#include <QString>
#include <QWidget>

#include <atomic>

class QPlainTextEdit;
class QThread;
class QTreeWidget;
class ShellServices;

// The running repair worker's thread, or null while no run is in progress. Set by the interface
// thread when a run starts; cleared when the worker has finished its last step.
extern std::atomic<QThread*> g_pRepairThread;

class CTarvelForOpenOfficeView : public QWidget
{
    Q_OBJECT

public:
    explicit CTarvelForOpenOfficeView(ShellServices& shell, QWidget* parent = nullptr);

    // The busy query: true while a repair run is in progress.
    [[nodiscard]] bool OnQueryBusy() const;
    // The File commands (Select Files, Remove Files, Repair) are available exactly while the
    // file list is shown, that is on the selection page.
    [[nodiscard]] bool IsFileListShown() const;

    void ShowSelectionPage();
    void ShowProgressPage();

    QTreeWidget* m_listFiles = nullptr;
    QPlainTextEdit* m_editLog = nullptr;
    QString m_strDestFolder;
    std::atomic<bool> m_bStopRequested{false};

public slots:
    void OnSelectFiles();
    void OnRemoveFiles();
    void OnNext();
    void OnFilePrint();

signals:
    // The page changed, and with it which commands are available.
    void commandStateChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutControls();

    ShellServices& m_shell;
};
