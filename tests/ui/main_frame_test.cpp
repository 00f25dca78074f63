// The application object and the main frame: start-up, the one-copy rule, menus, bars, looks,
// help, the product page and the close question.
#include "fake_shell.h"
#include "test_place.h"
#include "ui/app_looks.h"
#include "ui/custom_toolbar.h"
#include "ui/lock_key_indicators.h"
#include "ui/main_frame.h"
#include "ui/product_page.h"
#include "ui/tarvel_app.h"
#include "ui/tarvel_view.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QThread>
#include <QtTest>

#include <memory>

namespace {

QSettings userSettings()
{
    return QSettings(QStringLiteral("Tarvel For Draw1"), QStringLiteral("Tarvel For Draw"));
}

// The menu tree as "Menu/Item #id" lines; "---" is a separator.
void dumpMenu(const QMenu& menu, const QString& prefix, QStringList& lines)
{
    for (const QAction* action : menu.actions()) {
        if (action->isSeparator()) {
            lines.append(prefix + QStringLiteral("---"));
            continue;
        }
        QString line = prefix + action->text();
        if (action->data().toInt() > 0)
            line += QStringLiteral(" #%1").arg(action->data().toInt());
        lines.append(line);
        if (action->menu() != nullptr) {
            emit action->menu()->aboutToShow(); // menus filled on demand fill themselves
            dumpMenu(*action->menu(), prefix + action->text() + QLatin1Char('/'), lines);
        }
    }
}

int checkedLook(const CMainFrame& frame)
{
    int checked = 0;
    for (int id = 210; id <= 218; ++id) {
        if (frame.commandAction(id)->isChecked()) {
            if (checked != 0)
                return -1; // two marks
            checked = id;
        }
    }
    return checked;
}

QColor windowColour()
{
    return QApplication::palette().color(QPalette::Window);
}

} // namespace

class MainFrameTest : public QObject
{
    Q_OBJECT

private:
    CMainFrame* start()
    {
        m_app = std::make_unique<CTarvelForOpenOfficeApp>(*m_shell, m_place->lockName());
        if (!m_app->initInstance())
            return nullptr;
        return m_app->mainFrame();
    }
    CMainFrame* restart()
    {
        m_app.reset();
        return start();
    }
    static void activate(CMainFrame& frame)
    {
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
    }

    std::unique_ptr<TestPlace> m_place;
    std::unique_ptr<FakeShell> m_shell;
    std::unique_ptr<CTarvelForOpenOfficeApp> m_app;
    QString m_oldDirectory;

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init()
    {
        m_place = std::make_unique<TestPlace>();
        QVERIFY(m_place->isValid());
        m_shell = std::make_unique<FakeShell>();
        m_oldDirectory = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_place->path()));
    }

    void cleanup()
    {
        m_app.reset();
        g_pRepairThread = nullptr;
        QDir::setCurrent(m_oldDirectory);
        m_place.reset();
    }

    void startsMaximisedWithFixedCaption()
    {
        CMainFrame* frame = start();
        QVERIFY(frame != nullptr);
        QVERIFY(m_shell->messages.isEmpty());
        QVERIFY(frame->isVisible());
        QVERIFY(frame->windowState().testFlag(Qt::WindowMaximized));
        QCOMPARE(frame->windowTitle(), QStringLiteral("Tarvel For Draw Ver 8.12.01"));
        QCOMPARE(frame->centralWidget(), frame->view());
        QVERIFY(frame->view()->IsFileListShown());
        QVERIFY(!frame->windowIcon().isNull());
    }

    void secondInstanceIsRefused()
    {
        CMainFrame* first = start();
        QVERIFY(first != nullptr);

        CTarvelForOpenOfficeApp second(*m_shell, m_place->lockName());
        QVERIFY(!second.initInstance());
        QCOMPARE(m_shell->messages,
                 QStringList{QStringLiteral("Another Instance of Tarvel For Draw is running ")});
        QCOMPARE(second.mainFrame(), nullptr);
        QVERIFY(first->isVisible()); // the running copy is left alone

        // The lock goes with the first program; a new start then succeeds.
        m_app.reset();
        CTarvelForOpenOfficeApp third(*m_shell, m_place->lockName());
        QVERIFY(third.initInstance());
        QCOMPARE(m_shell->messages.size(), 1);
    }

    void menusHoldEveryItem()
    {
        CMainFrame* frame = start();
        QVERIFY(frame != nullptr);
        QStringList lines;
        for (const QAction* top : frame->menuBar()->actions()) {
            lines.append(top->text());
            dumpMenu(*top->menu(), top->text() + QLatin1Char('/'), lines);
        }
        const QStringList expected{
            "&File",
            "&File/&Select Files\tCtrl+O #57600",
            "&File/Rem&ove Files\tCtrl+D #57601",
            "&File/&Repair\tCtrl+R #57603",
            "&File/---",
            "&File/E&xit #57665",
            "&View",
            "&View/&Toolbars and Docking Windows",
            "&View/&Toolbars and Docking Windows/Standard",
            "&View/&Toolbars and Docking Windows/---",
            "&View/&Toolbars and Docking Windows/Customize... #126",
            "&View/&Status Bar #59393",
            "&View/&Application Look",
            "&View/&Application Look/Windows &2000 #210",
            "&View/&Application Look/Office &XP #211",
            "&View/&Application Look/&Windows XP #212",
            "&View/&Application Look/Office 200&3 #213",
            "&View/&Application Look/Visual Studio.NET 200&5 #214",
            "&View/&Application Look/Office 200&7",
            "&View/&Application Look/Office 200&7/&Blue Style #215",
            "&View/&Application Look/Office 200&7/B&lack Style #216",
            "&View/&Application Look/Office 200&7/&Silver Style #217",
            "&View/&Application Look/Office 200&7/&Aqua Style #218",
            "&Help",
            "&Help/Software Help #32771",
            "&Help/Visit Software Homepage #32772",
            "&Help/&About Tarvel For Draw... #57664",
        };
        QCOMPARE(lines, expected);

        // The keys are the ones the labels name; Ctrl+P prints.
        QCOMPARE(frame->commandAction(57600)->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
        QCOMPARE(frame->commandAction(57601)->shortcut(), QKeySequence(QStringLiteral("Ctrl+D")));
        QCOMPARE(frame->commandAction(57603)->shortcut(), QKeySequence(QStringLiteral("Ctrl+R")));
        QCOMPARE(frame->commandAction(57607)->shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));
    }

    void barsAreInPlace()
    {
        CMainFrame* frame = start();
        QVERIFY(frame != nullptr);
        const CustomToolBar* standard = frame->toolbar(128);
        QVERIFY(standard != nullptr);
        QCOMPARE(standard->windowTitle(), QStringLiteral("Standard"));
        QCOMPARE(frame->toolBarArea(const_cast<CustomToolBar*>(standard)), Qt::TopToolBarArea);
        QVERIFY(standard->isVisible());
        QCOMPARE(standard->commands(), (QList<int>{57600, 57601, 57603, 0, 57664}));
        // Five entries and the "Customize..." button at the end.
        const QList<QAction*> actions = standard->actions();
        QCOMPARE(actions.size(), 6);
        QCOMPARE(actions.last()->text(), QStringLiteral("Customize..."));
        QVERIFY(actions.at(3)->isSeparator());
        for (const int id : {57600, 57601, 57603, 57664})
            QVERIFY(!frame->commandAction(id)->icon().isNull());

        QVERIFY(frame->statusBar()->isVisible());
        QCOMPARE(frame->promptPane()->text(), QStringLiteral("Ready"));
        for (const char* pane : {"indicatorCaps", "indicatorNum", "indicatorScroll"})
            QVERIFY(frame->statusBar()->findChild<QLabel*>(QLatin1String(pane)) != nullptr);
    }

    void statusBarShowsPromptThenReady_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("prompt");
        QTest::addColumn<QString>("tip");
        QTest::newRow("select") << 57600 << "Select file(s) to repair"
                                << "Select file(s)";
        QTest::newRow("remove") << 57601 << " Remove selected file(s) from the list"
                                << "Remove File(s)";
        QTest::newRow("repair") << 57603 << "Repair selected file(s)"
                                << "Repair files";
        QTest::newRow("about")
            << 57664 << " View Program information: version, support details, and copyright"
            << "About";
        QTest::newRow("exit") << 57665 << "Quit the application; prompts to save documents"
                              << "Exit";
        QTest::newRow("help") << 32771 << "Display Software help" << QString();
        QTest::newRow("status bar") << 59393 << "Show or hide the status bar"
                                    << "Toggle Status Bar";
        QTest::newRow("homepage") << 32772 << QString() << QString();
        QTest::newRow("look") << 216 << QString() << QString();
    }

    void statusBarShowsPromptThenReady()
    {
        QFETCH(int, id);
        QFETCH(QString, prompt);
        QFETCH(QString, tip);
        CMainFrame* frame = start();
        QVERIFY(frame != nullptr);
        QAction* action = frame->commandAction(id);
        QCOMPARE(action->statusTip(), prompt);
        if (!tip.isNull())
            QCOMPARE(action->toolTip(), tip);

        // Hovering a menu item or a button sends its prompt; leaving it sends an empty one.
        action->showStatusText(frame);
        QCOMPARE(frame->statusBar()->currentMessage(), prompt);
        QCOMPARE(frame->promptPane()->isVisible(), prompt.isEmpty());
        QStatusTipEvent leave{QString()};
        QApplication::sendEvent(frame, &leave);
        QVERIFY(frame->promptPane()->isVisible());
        QCOMPARE(frame->promptPane()->text(), QStringLiteral("Ready"));
    }

    void fileCommandsFollowThePage()
    {
        CMainFrame* frame = start();
        QVERIFY(frame != nullptr);
        activate(*frame);
        const QList<int> fileCommands{57600, 57601, 57603};
        for (const int id : fileCommands)
            QVERIFY(frame->commandAction(id)->isEnabled());

        frame->view()->ShowProgressPage();
        for (const int id : fileCommands)
            QVERIFY(!frame->commandAction(id)->isEnabled());
        QTest::keyClick(frame, Qt::Key_R, Qt::ControlModifier); // greyed out: nothing happens
        QVERIFY(m_shell->messages.isEmpty());

        frame->view()->ShowSelectionPage();
        for (const int id : fileCommands)
            QVERIFY(frame->commandAction(id)->isEnabled());
        QTest::keyClick(frame, Qt::Key_R, Qt::ControlModifier); // Repair on an empty list
        QCOMPARE(m_shell->messages,
                 QStringList{QStringLiteral("Please select files using Select files button")});
    }

    void defaultLookIsBlueStyle()
    {
        CMainFrame* frame = start();
        QVERIFY(frame != nullptr);
        QCOMPARE(m_app->m_nAppLook, 215);
        QCOMPARE(checkedLook(*frame), 215);
        QCOMPARE(userSettings().value(QStringLiteral("ApplicationLook")).toInt(), 215);
        QCOMPARE(windowColour(), looks::lookFor(215, 215).palette.color(QPalette::Window));
        QVERIFY(frame->dockOptions().testFlag(QMainWindow::AnimatedDocks));
        QVERIFY(!frame->styleSheet().isEmpty());
    }

    void lookPersistsAcrossRestart_data()
    {
        QTest::addColumn<int>("id");
        for (int id = 210; id <= 218; ++id)
            QTest::addRow("%d", id) << id;
    }

    void lookPersistsAcrossRestart()
    {
        QFETCH(int, id);
        CMainFrame* frame = start();
        QVERIFY(frame != nullptr);
        frame->commandAction(id)->trigger();
        QCOMPARE(checkedLook(*frame), id);
        QCOMPARE(userSettings().value(QStringLiteral("ApplicationLook")).toInt(), id);
        const QColor chosen = windowColour();
        const QString style = QApplication::style()->name();

        frame->commandAction(id == 215 ? 216 : 215)->trigger(); // something else in between
        QVERIFY(windowColour() != chosen);
        frame->commandAction(id)->trigger();

        frame = restart();
        QVERIFY(frame != nullptr);
        QCOMPARE(m_app->m_nAppLook, id);
        QCOMPARE(checkedLook(*frame), id);
        QCOMPARE(windowColour(), chosen);
        QCOMPARE(QApplication::style()->name(), style);
    }

    void badStoredLookFallsBack_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("look");
        QTest::addColumn<int>("checked");
        QTest::newRow("above") << "219" << 219 << 0;
        QTest::newRow("below") << "209" << 209 << 0;
        QTest::newRow("far off") << "999" << 999 << 0;
        QTest::newRow("negative") << "-5" << -5 << 0;
        QTest::newRow("not a number") << "Blue" << 215 << 215;
    }

    void badStoredLookFallsBack()
    {
        QFETCH(QString, stored);
        QFETCH(int, look);
        QFETCH(int, checked);
        userSettings().setValue(QStringLiteral("ApplicationLook"), stored);
        CMainFrame* frame = start();
        QVERIFY(frame != nullptr);
        QCOMPARE(m_app->m_nAppLook, look);
        QCOMPARE(checkedLook(*frame), checked);
        // The Office 2007 style in its first colour scheme, with smart docking.
        QCOMPARE(windowColour(), looks::lookFor(215, 215).palette.color(QPalette::Window));
        QCOMPARE(QApplication::style()->name().toLower(), QStringLiteral("fusion"));
        QVERIFY(frame->dockOptions().testFlag(QMainWindow::AnimatedDocks));
    }

    void badLookKeepsCurrentOffice2007Scheme()
    {
        CMainFrame* frame = start();
        QVERIFY(frame != nullptr);
        frame->commandAction(218)->trigger();
        const QColor aqua = windowColour();
        frame->commandAction(212)->trigger();
        QVERIFY(!frame->dockOptions().testFlag(QMainWindow::AnimatedDocks));
        frame->OnApplicationLook(400);
        QCOMPARE(windowColour(), aqua);
        QCOMPARE(checkedLook(*frame), 0);
        QVERIFY(frame->dockOptions().testFlag(QMainWindow::AnimatedDocks));
    }

    void looksCanBeToldApart()
    {
        // Every look differs from every other in style, colours or bars; the four Office 2007
        // schemes differ in their window and button colours by a clear margin.
        const auto distance = [](const QColor& a, const QColor& b) {
            const int r = a.red() - b.red(), g = a.green() - b.green(), bl = a.blue() - b.blue();
            return std::sqrt(double(r * r + g * g + bl * bl));
        };
        for (int a = 210; a <= 218; ++a) {
            for (int b = a + 1; b <= 218; ++b) {
                const looks::Look x = looks::lookFor(a, 215);
                const looks::Look y = looks::lookFor(b, 215);
                const bool same = x.styleName == y.styleName && x.palette == y.palette &&
                                  x.barStyleSheet == y.barStyleSheet;
                QVERIFY2(!same, qPrintable(QStringLiteral("%1 and %2").arg(a).arg(b)));
                if (a < 215)
                    continue;
                const double apart =
                    distance(x.palette.color(QPalette::Window), y.palette.color(QPalette::Window)) +
                    distance(x.palette.color(QPalette::Button), y.palette.color(QPalette::Button));
                QVERIFY2(apart >= 40, qPrintable(QStringLiteral("%1 and %2").arg(a).arg(b)));
            }
        }
    }

    void closeRequest_data()
    {
        QTest::addColumn<bool>("busy");
        QTest::addColumn<bool>("answerYes");
        QTest::addColumn<bool>("viaExit");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QStringList>("questions");
        QTest::addColumn<bool>("closed");
        const QStringList stop{QStringLiteral("Please stop current process")};
        const QStringList question{QStringLiteral("Do you want to close the software ?")};
        QTest::newRow("busy") << true << true << false << stop << QStringList() << false;
        QTest::newRow("busy, File Exit") << true << true << true << stop << QStringList() << false;
        QTest::newRow("No") << false << false << false << QStringList() << question << false;
        QTest::newRow("Yes") << false << true << false << QStringList() << question << true;
        QTest::newRow("Yes, File Exit")
            << false << true << true << QStringList() << question << true;
    }

    void closeRequest()
    {
        QFETCH(bool, busy);
        QFETCH(bool, answerYes);
        QFETCH(bool, viaExit);
        QFETCH(QStringList, messages);
        QFETCH(QStringList, questions);
        QFETCH(bool, closed);
        CMainFrame* frame = start();
        QVERIFY(frame != nullptr);
        QThread worker; // never started: only its address marks a run in progress
        if (busy)
            g_pRepairThread = &worker;
        QVERIFY(frame->view()->OnQueryBusy() == busy);
        m_shell->answers = {answerYes};

        if (viaExit)
            frame->commandAction(57665)->trigger();
        else
            frame->close();

        QCOMPARE(m_shell->messages, messages);
        QCOMPARE(m_shell->questions, questions);
        QCOMPARE(frame->isVisible(), !closed);
        // Only a confirmed close opens the product page, and the page is there to be shown.
        QCOMPARE(m_shell->opened.size(), closed ? 1 : 0);
        if (closed) {
            QVERIFY(m_shell->opened.first().isLocalFile());
            QVERIFY(QFile::exists(m_shell->opened.first().toLocalFile()));
        }
        g_pRepairThread = nullptr;
    }

    void closeAskedOnceRunEnds()
    {
        CMainFrame* frame = start();
        QVERIFY(frame != nullptr);
        QThread worker;
        g_pRepairThread = &worker;
        QVERIFY(!frame->close());
        g_pRepairThread = nullptr;
        m_shell->answers = {false};
        QVERIFY(!frame->close());
        QCOMPARE(m_shell->messages, QStringList{QStringLiteral("Please stop current process")});
        QCOMPARE(m_shell->questions,
                 QStringList{QStringLiteral("Do you want to close the software ?")});
    }

    void helpCommand_data()
    {
        QTest::addColumn<bool>("chm");
        QTest::addColumn<bool>("html");
        QTest::addColumn<bool>("viewer");
        QTest::addColumn<bool>("viaF1");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("opened");
        const QStringList missing{
            QStringLiteral("Tarvel For Draw.chm file not exist, please reinstall software ")};
        QTest::newRow("missing") << false << true << true << false << missing << QString();
        QTest::newRow("missing, F1") << false << true << true << true << missing << QString();
        QTest::newRow("viewer") << true << true << true << false << QStringList()
                                << "Tarvel For Draw.chm";
        QTest::newRow("no viewer")
            << true << true << false << false << QStringList() << "Tarvel For Draw.html";
        QTest::newRow("no viewer, F1")
            << true << true << false << true << QStringList() << "Tarvel For Draw.html";
        QTest::newRow("no viewer, no copy")
            << true << false << false << false << QStringList() << "Tarvel For Draw.chm";
    }

    void helpCommand()
    {
        QFETCH(bool, chm);
        QFETCH(bool, html);
        QFETCH(bool, viewer);
        QFETCH(bool, viaF1);
        QFETCH(QStringList, messages);
        QFETCH(QString, opened);
        const auto make = [this](const QString& name) {
            QFile file(m_place->filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        };
        if (chm)
            make(QStringLiteral("Tarvel For Draw.chm"));
        if (html)
            make(QStringLiteral("Tarvel For Draw.html"));
        m_shell->viewerInstalled = viewer;
        CMainFrame* frame = start();
        QVERIFY(frame != nullptr);
        if (viaF1) {
            activate(*frame);
            QTest::keyClick(frame, Qt::Key_F1);
        } else {
            frame->commandAction(32771)->trigger();
        }
        QCOMPARE(m_shell->messages, messages);
        if (opened.isEmpty()) {
            QVERIFY(m_shell->opened.isEmpty());
        } else {
            QCOMPARE(m_shell->opened, QList<QUrl>{QUrl::fromLocalFile(m_place->filePath(opened))});
        }
    }

    void helpLooksInDirectoryCurrentAtStart()
    {
        QVERIFY(QDir(m_place->path()).mkdir(QStringLiteral("elsewhere")));
        const QString elsewhere = m_place->filePath(QStringLiteral("elsewhere"));
        QFile help(elsewhere + QStringLiteral("/Tarvel For Draw.chm"));
        QVERIFY(help.open(QIODevice::WriteOnly));
        help.close();
        m_shell->viewerInstalled = true;

        // Started elsewhere: the file is found there, even after the directory changes.
        QVERIFY(QDir::setCurrent(elsewhere));
        CMainFrame* frame = start();
        QVERIFY(frame != nullptr);
        QVERIFY(QDir::setCurrent(m_place->path()));
        frame->OnHelpFinder();
        QVERIFY(m_shell->messages.isEmpty());
        QCOMPARE(m_shell->opened, QList<QUrl>{QUrl::fromLocalFile(help.fileName())});

        // Started here, where there is no help: the message.
        m_shell->opened.clear();
        frame = restart();
        QVERIFY(frame != nullptr);
        frame->OnHelpFinder();
        QCOMPARE(m_shell->messages.size(), 1);
        QVERIFY(m_shell->opened.isEmpty());
    }

    void homepageOpensLocalProductPage()
    {
        CMainFrame* frame = start();
        QVERIFY(frame != nullptr);
        frame->commandAction(32772)->trigger();
        QCOMPARE(m_shell->opened.size(), 1);
        const QUrl page = m_shell->opened.first();
        QVERIFY(page.isLocalFile());
        QVERIFY(page.toLocalFile().startsWith(m_place->path())); // the user's data folder
        QFile file(page.toLocalFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY(text.contains(QStringLiteral("How to use it")));
        QVERIFY(text.contains(QStringLiteral("Where to report problems")));
        QVERIFY(!text.contains(QStringLiteral("http"))); // nothing is fetched from outside

        // A page changed on disk is written again before it is shown.
        file.close();
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("stale");
        file.close();
        QCOMPARE(productPageUrl(), page);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), text);
    }

    void lockIndicatorsFollowLockKeys()
    {
        CMainFrame* frame = start();
        QVERIFY(frame != nullptr);
        activate(*frame);
        const auto pane = [frame](const char* name) {
            return frame->statusBar()->findChild<QLabel*>(QLatin1String(name))->text();
        };
        QCOMPARE(pane("indicatorCaps"), QString());
        QTest::keyClick(frame->windowHandle(), Qt::Key_CapsLock);
        QCOMPARE(pane("indicatorCaps"), QStringLiteral("CAP"));
        QTest::keyClick(frame->windowHandle(), Qt::Key_NumLock);
        QCOMPARE(pane("indicatorNum"), QStringLiteral("NUM"));
        QTest::keyClick(frame->windowHandle(), Qt::Key_ScrollLock);
        QCOMPARE(pane("indicatorScroll"), QStringLiteral("SCRL"));
        QTest::keyClick(frame->windowHandle(), Qt::Key_CapsLock);
        QCOMPARE(pane("indicatorCaps"), QString());
        QCOMPARE(pane("indicatorNum"), QStringLiteral("NUM"));
    }

    void statusBarToggleIsKept()
    {
        CMainFrame* frame = start();
        QVERIFY(frame != nullptr);
        QAction* toggle = frame->commandAction(59393);
        QVERIFY(toggle->isChecked());
        toggle->trigger();
        QVERIFY(!frame->statusBar()->isVisible());
        frame = restart();
        QVERIFY(frame != nullptr);
        QVERIFY(!frame->statusBar()->isVisible());
        QVERIFY(!frame->commandAction(59393)->isChecked());
    }
};

QTEST_MAIN(MainFrameTest)
#include "main_frame_test.moc"
