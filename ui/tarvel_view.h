// CTarvelForOpenOfficeView: the wizard that fills the main frame, drawn on a painted background.
// The selection page lists the drawings to repair; Next asks for a destination folder and starts
// the repair worker on its own thread, and the progress page shows its log until the run ends
// with Back and Exit. The worker reaches the widgets only through queued signals.
#pragma once

#include "ui/file_type_icons.h"
#include "ui/repair_worker.h"

#include <QString>
#include <QWidget>

#include <atomic>

class CRichEditCtrlGS;
class QPlainTextEdit;
class QPrinter;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class ShellServices;

class CTarvelForOpenOfficeView : public QWidget
{
    Q_OBJECT

public:
    // Control ids, kept as each control's "controlId" property. The log and the list share one.
    static constexpr int IdRichInfo = 300;
    static constexpr int IdEditLog = 100;
    static constexpr int IdListFiles = 100;
    static constexpr int IdNext = 59394;
    static constexpr int IdSelectFiles = 59395;
    static constexpr int IdRemoveFiles = 59396;
    static constexpr int IdBack = 59397;
    static constexpr int IdStop = 59398;
    static constexpr int IdExit = 59399;

    explicit CTarvelForOpenOfficeView(ShellServices& shell, QWidget* parent = nullptr);
    // A run still going (the program is ending some other way than a close) is asked to stop
    // after its current file and waited for.
    ~CTarvelForOpenOfficeView() override;

    // The busy query: true while a repair run is in progress.
    [[nodiscard]] bool OnQueryBusy() const;
    // The File commands (Select Files, Remove Files, Repair) are available exactly while the
    // file list is shown, that is on the selection page.
    [[nodiscard]] bool IsFileListShown() const;

    // The painted background for a client area of size: banner, logo and strip at the top, the
    // middle area, the bottom band and the question-mark sign. Printing paints the same.
    static void PaintBackground(QPainter& painter, QSize size);
    // Prints the painted background, scaled to the page; false when the printer cannot start.
    [[nodiscard]] bool PrintView(QPrinter& printer) const;

    // The paths of the file list from the top down.
    [[nodiscard]] QStringList listedFiles() const;

    CRichEditCtrlGS* m_richInfo = nullptr;
    QPlainTextEdit* m_editLog = nullptr;
    QTreeWidget* m_listFiles = nullptr;
    QPushButton* m_btnNext = nullptr;
    QPushButton* m_btnBack = nullptr;
    QPushButton* m_btnStop = nullptr;
    QPushButton* m_btnExit = nullptr;
    QPushButton* m_btnSelectFiles = nullptr;
    QPushButton* m_btnRemoveFiles = nullptr;
    QProgressBar* m_progress = nullptr; // files done of the run, on the progress page

    // The destination of the current or last run, ending with a separator once set.
    QString m_strDestFolder;
    // Set by a confirmed Stop, cleared when a run starts; the worker reads it between files.
    std::atomic<bool> m_bStopRequested{false};

public slots:
    void OnSelectFiles();
    void OnRemoveFiles();
    void OnNext();
    void OnStop();
    void OnExitButton();
    void OnFilePrint();
    void ShowSelectionPage();
    void ShowProgressPage();

public:
    // The folder browser: the chosen folder, or an empty string when none was chosen or the
    // folder is on read-only media (said in a message).
    QString ChooseDestinationFolder();

signals:
    // The page changed, and with it which commands are available.
    void commandStateChanged();
    // A run's worker is made and about to start on its thread; it is connected to the view.
    void repairStarted(RepairWorker* worker);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void layoutControls();
    // Adds chosen paths as Select Files does, then rebuilds the list.
    void addFiles(const QStringList& chosen);
    void rebuildList(const QStringList& paths);
    [[nodiscard]] bool isNetworkPath(const QString& path);
    void appendLog(const QString& line);
    void setInfoText(const QString& text);
    void toggleInfoBold(int first, int last);
    void showEndButtons();
    void connectWorker(RepairWorker* worker);
    void showCompletion(const QString& folder, int saved, int processed);

    ShellServices& m_shell;
    CUseShGetFileInfo m_fileIcons;
    RepairGate m_gate;
};
