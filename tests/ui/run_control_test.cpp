// A repair run from the window: Next with its folder, the worker on its own thread over damaged
// drawings built here, Stop answered either way, the end of the run, Back, Exit, and the frame's
// refusal to close while the run lasts.
#include "drawing_fixture.h"
#include "fake_shell.h"
#include "test_place.h"
#include "ui/main_frame.h"
#include "ui/rich_edit_ctrl_gs.h"
#include "ui/tarvel_app.h"
#include "ui/tarvel_view.h"
#include "worker_break.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTreeWidget>
#include <QtTest>

#include <memory>
#include <thread>

namespace {

constexpr int RunTimeoutMs = 60000;

const QString Separator(66, QLatin1Char('='));
const QString AbortedByUser = QStringLiteral("Saving abort by user");
const QString ConfirmStop = QStringLiteral("Are you sure you want to stop the saving process ?");
const QString Completed = QStringLiteral(
    "File repair and saving process completed successfully. Click Back to go back to main window "
    "for repairing more file(s) or click Exit to quit the application.");

QStringList logLines(const CTarvelForOpenOfficeView& view)
{
    return view.m_editLog->toPlainText().split(QLatin1Char('\n'));
}

// The bold runs of the information panel, in order.
QStringList boldRuns(const QTextEdit& edit)
{
    QStringList runs;
    QString run;
    for (QTextBlock block = edit.document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().fontWeight() >= QFont::Bold) {
                run += fragment.text();
                continue;
            }
            if (!run.isEmpty())
                runs.append(run);
            run.clear();
        }
    }
    if (!run.isEmpty())
        runs.append(run);
    return runs;
}

QStringList repairedFiles(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

} // namespace

class RunControlTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestPlace> m_place;
    std::unique_ptr<FakeShell> m_shell;
    std::unique_ptr<CTarvelForOpenOfficeApp> m_app;
    CMainFrame* m_frame = nullptr;
    CTarvelForOpenOfficeView* m_view = nullptr;
    QString m_dest; // the destination folder, without a trailing separator

    // Damaged drawings named names in the test's folder, chosen with one Select Files (so the
    // list shows them reversed). Returns their paths in list order, top first.
    QStringList listDrawings(const QStringList& names)
    {
        QStringList paths;
        std::uint32_t seed = 1;
        for (const QString& name : names) {
            const QString path = m_place->filePath(name);
            if (!uifixture::writeDamagedDrawing(path, seed++))
                return {};
            paths.append(path);
        }
        m_shell->fileChoices = {paths};
        QTest::mouseClick(m_view->m_btnSelectFiles, Qt::LeftButton);
        std::reverse(paths.begin(), paths.end());
        return paths;
    }

    void startRun()
    {
        m_shell->folderChoices = {m_dest};
        QTest::mouseClick(m_view->m_btnNext, Qt::LeftButton);
    }

    [[nodiscard]] bool runEnded() const
    {
        return !m_view->OnQueryBusy() && m_view->m_btnBack->isVisible();
    }

    void verifyEndState()
    {
        QVERIFY(m_view->m_btnBack->isVisible());
        QVERIFY(m_view->m_btnExit->isVisible());
        QVERIFY(!m_view->m_btnStop->isVisible());
        QVERIFY(!m_view->m_btnNext->isVisible());
        QVERIFY(!m_view->m_listFiles->isVisible());
        QVERIFY(m_view->m_editLog->isVisible());
        QCOMPARE(m_view->m_richInfo->toPlainText(), Completed);
        QCOMPARE(boldRuns(*m_view->m_richInfo), (QStringList{"Back", "Exit"}));
        for (const int id : {57600, 57601, 57603})
            QVERIFY(!m_frame->commandAction(id)->isEnabled());
    }

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init()
    {
        m_place = std::make_unique<TestPlace>();
        QVERIFY(m_place->isValid());
        m_shell = std::make_unique<FakeShell>();
        m_app = std::make_unique<CTarvelForOpenOfficeApp>(*m_shell, m_place->lockName());
        QVERIFY(m_app->initInstance());
        m_frame = m_app->mainFrame();
        m_view = m_frame->view();
        m_dest = m_place->filePath(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(m_dest));
    }

    void cleanup()
    {
        m_app.reset();
        QCOMPARE(g_pRepairThread.load(), nullptr); // every run has ended
        m_shell.reset();
        m_place.reset();
    }

    void wholeWizard()
    {
        m_frame->showNormal();
        m_frame->resize(720, 440); // a log too short for the run, so that it scrolls
        const QStringList listed = listDrawings({"Garden.odg", "Kitchen plan.odg"});
        QCOMPARE(listed.size(), 2);

        startRun();
        QCOMPARE(m_shell->folderDialogs,
                 QStringList{QStringLiteral("Select location to save repaired file(s)")});
        QCOMPARE(m_view->m_strDestFolder, m_dest + QLatin1Char('/'));
        // The worker waits for its completion dialog, which only this thread can show.
        QVERIFY(m_view->OnQueryBusy());
        QVERIFY(m_view->m_btnStop->isVisible());
        QVERIFY(m_view->m_editLog->isVisible());
        QVERIFY(m_view->m_progress->isVisible());
        const QList<QWidget*> hiddenWhileRunning{
            m_view->m_listFiles, m_view->m_btnNext,        m_view->m_btnBack,
            m_view->m_btnExit,   m_view->m_btnSelectFiles, m_view->m_btnRemoveFiles};
        for (const QWidget* hidden : hiddenWhileRunning)
            QVERIFY(!hidden->isVisible());
        QCOMPARE(m_view->m_richInfo->toPlainText(),
                 QString::fromUtf8("Please wait\u2026 repairing of file(s) is in progress"));
        QVERIFY(!m_frame->close());
        QCOMPARE(m_shell->messages, QStringList{QStringLiteral("Please stop current process")});

        QTRY_COMPARE_WITH_TIMEOUT(m_shell->completions, QStringList{m_dest + QLatin1Char('/')},
                                  RunTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(runEnded(), RunTimeoutMs);
        verifyEndState();
        QCOMPARE(m_shell->messages.size(), 1); // nothing more than the refused close

        QCOMPARE(repairedFiles(m_dest), (QStringList{"REC_Garden.odg", "REC_Kitchen plan.odg"}));
        const QStringList lines = logLines(*m_view);
        QCOMPARE(lines.mid(0, 4),
                 (QStringList{"Repairing process started", Separator, "Processing File 1 of 2 ",
                              "File Name : " + listed.at(0)}));
        QVERIFY(lines.contains("Processing File 2 of 2 "));
        QCOMPARE(lines.last(), "Repaired file name : " + m_dest + "/REC_Garden.odg");
        const QScrollBar* scroll = m_view->m_editLog->verticalScrollBar();
        QVERIFY(scroll->maximum() > 0);
        QCOMPARE(scroll->value(), scroll->maximum());
        QCOMPARE(m_view->m_progress->value(), 2);
        QCOMPARE(m_view->m_progress->text(), QStringLiteral("2 of 2 file(s) done"));

        QTest::mouseClick(m_view->m_btnBack, Qt::LeftButton);
        QCOMPARE(m_view->listedFiles(), listed);
        QVERIFY(m_view->m_listFiles->isVisible());
        QVERIFY(m_view->m_btnNext->isVisible());
        QVERIFY(!m_view->m_editLog->isVisible());
        QVERIFY(!m_view->m_btnBack->isVisible());
        QVERIFY(!m_view->m_btnExit->isVisible());
        QCOMPARE(boldRuns(*m_view->m_richInfo), (QStringList{" Select Files", " Next"}));
        for (const int id : {57600, 57601, 57603})
            QVERIFY(m_frame->commandAction(id)->isEnabled());
    }

    void secondRunStartsAFreshLog_data()
    {
        QTest::addColumn<QString>("separator");
        QTest::newRow("folder chosen without a separator") << QString();
        QTest::newRow("folder chosen with one") << QStringLiteral("/");
    }

    void secondRunStartsAFreshLog()
    {
        QFETCH(QString, separator);
        QCOMPARE(listDrawings({"Plan.odg"}).size(), 1);
        for (int run = 1; run <= 2; ++run) {
            m_shell->folderChoices = {m_dest + separator};
            QTest::mouseClick(m_view->m_btnNext, Qt::LeftButton);
            QCOMPARE(m_view->m_strDestFolder, m_dest + QLatin1Char('/'));
            QTRY_VERIFY_WITH_TIMEOUT(runEnded(), RunTimeoutMs);
            if (run == 1)
                QTest::mouseClick(m_view->m_btnBack, Qt::LeftButton);
        }
        const QStringList lines = logLines(*m_view);
        QCOMPARE(lines.count("Repairing process started"), 1);
        QCOMPARE(lines.first(), QStringLiteral("Repairing process started"));
        QCOMPARE(lines.count(Separator), 1);
        // The first copy's name is taken, so the second is numbered.
        QCOMPARE(repairedFiles(m_dest).size(), 2);
        QVERIFY(!lines.contains("Repaired file name : " + m_dest + "/REC_Plan.odg"));
        QCOMPARE(m_shell->completions.size(), 2);
    }

    void nextDoesNotStart_data()
    {
        QTest::addColumn<bool>("listed");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<int>("folderDialogs");
        QTest::addColumn<QStringList>("messages");

        QTest::newRow("empty list") << false << QStringLiteral("/tmp") << 0
                                    << QStringList{"Please select files using Select files button"};
        QTest::newRow("folder browser cancelled") << true << QString() << 1 << QStringList();
        QTest::newRow("folder on a disc")
            << true << QStringLiteral("/media/disc/plans") << 1
            << QStringList{"Please appropriate path for saving repaired file(s)"};
    }

    void nextDoesNotStart()
    {
        QFETCH(bool, listed);
        QFETCH(QString, folder);
        QFETCH(int, folderDialogs);
        QFETCH(QStringList, messages);
        if (listed)
            QCOMPARE(listDrawings({"Plan.odg"}).size(), 1);
        m_shell->readOnlyFolders = {QStringLiteral("/media/disc")};
        m_shell->folderChoices = {folder};

        m_frame->commandAction(57603)->trigger(); // File > Repair is Next

        QCOMPARE(m_shell->folderDialogs.size(), folderDialogs);
        QCOMPARE(m_shell->messages, messages);
        QVERIFY(!m_view->OnQueryBusy());
        QVERIFY(m_view->IsFileListShown());
        QVERIFY(m_view->m_btnNext->isVisible());
        QVERIFY(m_view->m_strDestFolder.isEmpty());
    }

    void stopAnsweredYesOnTheFirstOfThree()
    {
        const QStringList listed = listDrawings({"c.odg", "b.odg", "a.odg"});
        QCOMPARE(listed.size(), 3);
        WorkerBreak inFirstFile(*m_view, "File Name : " + listed.at(0));
        startRun();
        QVERIFY(inFirstFile.waitUntilReached(RunTimeoutMs));

        // While the question is open the first file is finished, and no other may start.
        m_shell->answers = {true};
        m_shell->onQuestion = [&](const QString&) {
            inFirstFile.resume();
            QTRY_COMPARE_WITH_TIMEOUT(m_view->m_progress->value(), 1, RunTimeoutMs);
        };
        QTest::mouseClick(m_view->m_btnStop, Qt::LeftButton);
        QCOMPARE(m_shell->questions, QStringList{ConfirmStop});
        QVERIFY(!m_view->m_btnStop->isVisible());
        QVERIFY(m_view->m_bStopRequested.load());

        QTRY_VERIFY_WITH_TIMEOUT(runEnded(), RunTimeoutMs);
        QCOMPARE(m_shell->messages, QStringList{AbortedByUser});
        QVERIFY(m_shell->completions.isEmpty());
        verifyEndState();
        QCOMPARE(repairedFiles(m_dest), QStringList{"REC_a.odg"});
        const QStringList lines = logLines(*m_view);
        QCOMPARE(lines.count(Separator), 1);
        QCOMPARE(lines.last(), "Repaired file name : " + m_dest + "/REC_a.odg");
    }

    void stopAnsweredNo()
    {
        const QStringList listed = listDrawings({"a.odg", "b.odg", "c.odg"});
        QCOMPARE(listed.size(), 3);
        WorkerBreak inFirstFile(*m_view, "File Name : " + listed.at(0));
        startRun();
        QVERIFY(inFirstFile.waitUntilReached(RunTimeoutMs));

        m_shell->answers = {false};
        QTest::mouseClick(m_view->m_btnStop, Qt::LeftButton);
        QCOMPARE(m_shell->questions, QStringList{ConfirmStop});
        QVERIFY(m_view->m_btnStop->isVisible());
        QVERIFY(!m_view->m_bStopRequested.load());
        inFirstFile.resume();

        QTRY_VERIFY_WITH_TIMEOUT(runEnded(), RunTimeoutMs);
        QVERIFY(m_shell->messages.isEmpty());
        QCOMPARE(m_shell->completions.size(), 1);
        verifyEndState();
        QCOMPARE(repairedFiles(m_dest), (QStringList{"REC_a.odg", "REC_b.odg", "REC_c.odg"}));
    }

    // A Stop confirmed before the worker has got going is kept: the worker must not clear it.
    void stopBeforeTheFirstFileStartsNone()
    {
        QCOMPARE(listDrawings({"a.odg", "b.odg"}).size(), 2);
        WorkerBreak atStart(*m_view, QStringLiteral("Repairing process started"));
        startRun();
        QVERIFY(atStart.waitUntilReached(RunTimeoutMs));
        m_shell->answers = {true};
        QTest::mouseClick(m_view->m_btnStop, Qt::LeftButton);
        atStart.resume();

        QTRY_VERIFY_WITH_TIMEOUT(runEnded(), RunTimeoutMs);
        QCOMPARE(m_shell->messages, QStringList{AbortedByUser});
        QCOMPARE(logLines(*m_view), QStringList{"Repairing process started"});
        QVERIFY(repairedFiles(m_dest).isEmpty());
    }

    void stopAfterTheRunIsIgnored()
    {
        QVERIFY(!m_view->OnQueryBusy());
        m_view->OnStop();
        QVERIFY(m_shell->questions.isEmpty());
        QVERIFY(!m_view->m_bStopRequested.load());
    }

    // The completion dialog says the repair went well; a run where a file failed says otherwise.
    void runWithFailuresSaysSo()
    {
        const QStringList listed = listDrawings({"good.odg", "gone.odg", "junk.odg"});
        QCOMPARE(listed.size(), 3);
        QVERIFY(QFile::remove(listed.at(1)));
        QFile junk(listed.at(0));
        QVERIFY(junk.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QVERIFY(junk.write("not a drawing at all") > 0);
        junk.close();

        startRun();
        QTRY_VERIFY_WITH_TIMEOUT(runEnded(), RunTimeoutMs);
        QVERIFY(m_shell->completions.isEmpty());
        QCOMPARE(m_shell->messages,
                 QStringList{"2 of 3 file(s) could not be repaired. The repair log shows what "
                             "became of each file."});
        QCOMPARE(repairedFiles(m_dest), QStringList{"REC_good.odg"});
        QCOMPARE(m_view->m_progress->value(), 3);
    }

    void exitAsksTheCloseQuestion()
    {
        QCOMPARE(listDrawings({"Plan.odg"}).size(), 1);
        startRun();
        QTRY_VERIFY_WITH_TIMEOUT(runEnded(), RunTimeoutMs);
        m_shell->answers = {false};

        QTest::mouseClick(m_view->m_btnExit, Qt::LeftButton);
        QVERIFY(m_shell->questions.isEmpty()); // posted: asked once the click is over
        QTRY_COMPARE(m_shell->questions,
                     QStringList{QStringLiteral("Do you want to close the software ?")});
        QVERIFY(m_frame->isVisible());
        verifyEndState();
        QVERIFY(m_shell->opened.isEmpty());
    }

    // The program ending while a run lasts (closing is refused, but the session may end): the
    // current file is finished, the others are not started and nothing is shown.
    void endingTheProgramMidRunWaitsForTheCurrentFile()
    {
        const QStringList listed = listDrawings({"c.odg", "b.odg", "a.odg"});
        QCOMPARE(listed.size(), 3);
        auto inFirstFile = std::make_unique<WorkerBreak>(*m_view, "File Name : " + listed.at(0));
        startRun();
        QVERIFY(inFirstFile->waitUntilReached(RunTimeoutMs));

        // Let the worker go once the view has asked it to stop, from outside this thread, which
        // is busy ending the program.
        std::atomic<bool>& stopRequested = m_view->m_bStopRequested;
        std::thread releaser([&] {
            while (!stopRequested.load())
                std::this_thread::yield();
            inFirstFile->resume();
        });
        m_app.reset();
        releaser.join();

        QCOMPARE(g_pRepairThread.load(), nullptr);
        QCOMPARE(repairedFiles(m_dest), QStringList{"REC_a.odg"});
        QVERIFY(m_shell->messages.isEmpty());
        QVERIFY(m_shell->completions.isEmpty());
    }
};

QTEST_MAIN(RunControlTest)
#include "run_control_test.moc"
