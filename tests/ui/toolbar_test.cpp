// Toolbar customisation: user toolbars and their buttons, the customise dialog, dragging buttons
// with Alt held, and keeping it all in the settings between runs.
#include "fake_shell.h"
#include "test_place.h"
#include "ui/custom_toolbar.h"
#include "ui/customize_dialog.h"
#include "ui/main_frame.h"
#include "ui/tarvel_app.h"
#include "ui/tarvel_view.h"

#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSettings>
#include <QToolButton>
#include <QtTest>

#include <memory>

namespace {

QSettings userSettings()
{
    return QSettings(QStringLiteral("Tarvel For Draw1"), QStringLiteral("Tarvel For Draw"));
}

// A mouse event as the system delivers it during a drag: every event goes to the widget that
// got the press, wherever the pointer is.
void sendMouse(QWidget* target, QEvent::Type type, QPoint globalPos, Qt::MouseButton button,
               Qt::KeyboardModifiers modifiers)
{
    const Qt::MouseButtons buttons =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
    QMouseEvent event(type, QPointF(target->mapFromGlobal(globalPos)), QPointF(globalPos),
                      type == QEvent::MouseMove ? Qt::NoButton : button, buttons, modifiers);
    QApplication::sendEvent(target, &event);
}

void drag(QWidget* button, QPoint to, Qt::KeyboardModifiers modifiers)
{
    const QPoint from = button->mapToGlobal(button->rect().center());
    const QPoint halfway = (from + to) / 2;
    sendMouse(button, QEvent::MouseButtonPress, from, Qt::LeftButton, modifiers);
    sendMouse(button, QEvent::MouseMove, halfway, Qt::LeftButton, modifiers);
    sendMouse(button, QEvent::MouseMove, to, Qt::LeftButton, modifiers);
    sendMouse(button, QEvent::MouseButtonRelease, to, Qt::LeftButton, modifiers);
    QCoreApplication::processEvents(); // the move is made once the release has been handled
}

void click(QWidget* button)
{
    const QPoint at = button->mapToGlobal(button->rect().center());
    sendMouse(button, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::NoModifier);
    sendMouse(button, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoModifier);
}

QWidget* buttonOf(CustomToolBar& bar, CMainFrame& frame, int command)
{
    return bar.widgetForAction(frame.commandAction(command));
}

QPoint globalCentre(const QWidget& widget)
{
    return widget.mapToGlobal(widget.rect().center());
}

QStringList itemTexts(const QListWidget& list)
{
    QStringList texts;
    for (int i = 0; i < list.count(); ++i)
        texts.append(list.item(i)->text());
    return texts;
}

} // namespace

class ToolbarTest : public QObject
{
    Q_OBJECT

private:
    CMainFrame* start()
    {
        m_app = std::make_unique<CTarvelForOpenOfficeApp>(*m_shell, m_place->lockName());
        if (!m_app->initInstance())
            return nullptr;
        CMainFrame* frame = m_app->mainFrame();
        if (!QTest::qWaitForWindowExposed(frame))
            return nullptr;
        return frame;
    }
    CMainFrame* restart()
    {
        m_app.reset();
        return start();
    }

    std::unique_ptr<TestPlace> m_place;
    std::unique_ptr<FakeShell> m_shell;
    std::unique_ptr<CTarvelForOpenOfficeApp> m_app;

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init()
    {
        m_place = std::make_unique<TestPlace>();
        QVERIFY(m_place->isValid());
        m_shell = std::make_unique<FakeShell>();
    }

    void cleanup()
    {
        m_app.reset();
        m_place.reset();
    }

    void userToolbarsPersistAcrossRestart()
    {
        CMainFrame* frame = start();
        QVERIFY(frame != nullptr);
        CustomToolBar* mine = frame->createUserToolbar(QStringLiteral("My Tools"));
        QVERIFY(mine != nullptr);
        QCOMPARE(mine->id(), 59432);
        mine->insertCommand(0, 57603);
        mine->insertCommand(1, 0);
        mine->insertCommand(2, 32771);
        QCOMPARE(mine->actions().last()->text(), QStringLiteral("Customize..."));
        frame->toolbar(128)->removeCommandAt(4); // About off the Standard toolbar
        frame->toolbar(128)->toggleViewAction()->trigger();
        QVERIFY(frame->toolbar(128)->isHidden());

        frame = restart();
        QVERIFY(frame != nullptr);
        mine = frame->toolbar(59432);
        QVERIFY(mine != nullptr);
        QCOMPARE(mine->windowTitle(), QStringLiteral("My Tools"));
        QCOMPARE(mine->commands(), (QList<int>{57603, 0, 32771}));
        QVERIFY(mine->isVisible());
        QCOMPARE(frame->toolbar(128)->commands(), (QList<int>{57600, 57601, 57603, 0}));
        QVERIFY(frame->toolbar(128)->isHidden());

        // Deleted toolbars stay deleted.
        QVERIFY(frame->deleteUserToolbar(59432));
        QVERIFY(!frame->deleteUserToolbar(128)); // the Standard toolbar cannot be deleted
        frame = restart();
        QVERIFY(frame != nullptr);
        QCOMPARE(frame->toolbars().size(), 1);
    }

    void atMostTenUserToolbars()
    {
        CMainFrame* frame = start();
        QVERIFY(frame != nullptr);
        for (int id = 59432; id <= 59441; ++id) {
            const CustomToolBar* bar = frame->createUserToolbar(QString());
            QVERIFY(bar != nullptr);
            QCOMPARE(bar->id(), id);
            QCOMPARE(bar->windowTitle(), QStringLiteral("Custom %1").arg(id - 59431));
        }
        QCOMPARE(frame->createUserToolbar(QStringLiteral("Eleventh")), nullptr);

        QVERIFY(frame->deleteUserToolbar(59435));
        const CustomToolBar* again = frame->createUserToolbar(QStringLiteral("Again"));
        QVERIFY(again != nullptr);
        QCOMPARE(again->id(), 59435);

        CustomizeDialog* dialog = frame->OnViewCustomize();
        QVERIFY(!dialog->newButton()->isEnabled());
        QVERIFY(frame->deleteUserToolbar(59432));
        QVERIFY(dialog->newButton()->isEnabled());
    }

    void damagedSettingsAreSkipped()
    {
        {
            QSettings settings = userSettings();
            settings.setValue(QStringLiteral("Workspace/UserToolbars"),
                              QStringLiteral("59432,59432,128,1,junk,59441,59442"));
            settings.setValue(QStringLiteral("Workspace/Toolbar-59432/Buttons"),
                              QStringLiteral("57600,x,99999,0,57600,,57664"));
            settings.setValue(QStringLiteral("Workspace/Toolbar-128/Buttons"), QStringLiteral("?"));
            settings.setValue(QStringLiteral("Workspace/Layout"), QByteArray("not a layout"));
        }
        CMainFrame* frame = start();
        QVERIFY(frame != nullptr);
        QList<int> ids;
        for (const CustomToolBar* bar : frame->toolbars())
            ids.append(bar->id());
        QCOMPARE(ids, (QList<int>{128, 59432, 59441}));
        QCOMPARE(frame->toolbar(59432)->commands(), (QList<int>{57600, 0, 57664}));
        QCOMPARE(frame->toolbar(59432)->windowTitle(), QStringLiteral("Custom 1"));
        QCOMPARE(frame->toolbar(59441)->windowTitle(), QStringLiteral("Custom 2"));
        QVERIFY(frame->toolbar(128)->commands().isEmpty());
        QVERIFY(frame->toolbar(128)->isVisible());
    }

    void altDragMovesButtons_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("alt");
        QTest::addColumn<QList<int>>("standard");
        QTest::addColumn<QList<int>>("mine");
        QTest::newRow("to the end of its toolbar")
            << "standard end" << true << QList<int>{57601, 57603, 0, 57664, 57600}
            << QList<int>{32771};
        QTest::newRow("onto another toolbar")
            << "mine" << true << QList<int>{57601, 57603, 0, 57664} << QList<int>{32771, 57600};
        QTest::newRow("off every toolbar")
            << "off" << true << QList<int>{57601, 57603, 0, 57664} << QList<int>{32771};
        QTest::newRow("without Alt nothing moves")
            << "mine" << false << QList<int>{57600, 57601, 57603, 0, 57664} << QList<int>{32771};
    }

    void altDragMovesButtons()
    {
        QFETCH(QString, target);
        QFETCH(bool, alt);
        QFETCH(QList<int>, standard);
        QFETCH(QList<int>, mine);
        CMainFrame* frame = start();
        QVERIFY(frame != nullptr);
        CustomToolBar* bar = frame->toolbar(128);
        CustomToolBar* other = frame->createUserToolbar(QStringLiteral("Mine"));
        other->insertCommand(0, 32771);
        QCoreApplication::processEvents();
        QSignalSpy triggered(frame->commandAction(57600), &QAction::triggered);

        QPoint to;
        if (target == QLatin1String("standard end"))
            to = globalCentre(*bar->widgetForAction(bar->actions().last())); // on "Customize..."
        else if (target == QLatin1String("mine"))
            to = globalCentre(*buttonOf(*other, *frame, 32771)) + QPoint(8, 0);
        else
            to = globalCentre(*frame->view());
        drag(buttonOf(*bar, *frame, 57600), to, alt ? Qt::AltModifier : Qt::NoModifier);

        QCOMPARE(bar->commands(), standard);
        QCOMPARE(other->commands(), mine);
        QCOMPARE(triggered.count(), 0); // a drag never runs the command
        QCOMPARE(userSettings().value(QStringLiteral("Workspace/Toolbar-128/Buttons")).toString(),
                 QStringList([&] {
                     QStringList parts;
                     for (const int id : standard)
                         parts.append(QString::number(id));
                     return parts;
                 }())
                     .join(QLatin1Char(',')));
    }

    void customizeDialogEditsToolbars()
    {
        CMainFrame* frame = start();
        QVERIFY(frame != nullptr);
        frame->commandAction(126)->trigger();
        auto* dialog = frame->findChild<CustomizeDialog*>();
        QVERIFY(dialog != nullptr);
        QVERIFY(dialog->isVisible());
        QVERIFY(!dialog->isModal()); // the toolbars stay usable while it is open
        QCOMPARE(itemTexts(*dialog->toolbarList()), QStringList{QStringLiteral("Standard")});

        // Hide the Standard toolbar from the list.
        dialog->toolbarList()->item(0)->setCheckState(Qt::Unchecked);
        QVERIFY(frame->toolbar(128)->isHidden());
        dialog->toolbarList()->item(0)->setCheckState(Qt::Checked);
        QVERIFY(!frame->toolbar(128)->isHidden());

        // A new toolbar appears in both lists; Repair and a separator go on it.
        CustomToolBar* mine = frame->createUserToolbar(QStringLiteral("Mine"));
        QCOMPARE(itemTexts(*dialog->toolbarList()),
                 (QStringList{QStringLiteral("Standard"), QStringLiteral("Mine")}));
        dialog->targetBox()->setCurrentIndex(dialog->targetBox()->findText(QStringLiteral("Mine")));
        dialog->categoryBox()->setCurrentIndex(0); // File
        const QList<QListWidgetItem*> repair =
            dialog->commandList()->findItems(QStringLiteral("Repair"), Qt::MatchExactly);
        QCOMPARE(repair.size(), 1);
        dialog->commandList()->setCurrentItem(repair.first());
        QTest::mouseClick(dialog->addButton(), Qt::LeftButton);
        QCOMPARE(mine->commands(), QList<int>{57603});
        QCOMPARE(itemTexts(*dialog->buttonList()), QStringList{QStringLiteral("Repair")});
        QTest::mouseClick(dialog->addButton(), Qt::LeftButton); // already there: stays once
        QCOMPARE(mine->commands(), QList<int>{57603});

        // While the dialog is open a plain drag moves buttons.
        drag(buttonOf(*frame->toolbar(128), *frame, 57664),
             globalCentre(*buttonOf(*mine, *frame, 57603)) + QPoint(8, 0), Qt::NoModifier);
        QCOMPARE(mine->commands(), (QList<int>{57603, 57664}));
        QCOMPARE(dialog->buttonList()->count(), 2);

        dialog->buttonList()->setCurrentRow(0);
        QTest::mouseClick(dialog->removeCommandButton(), Qt::LeftButton);
        QCOMPARE(mine->commands(), QList<int>{57664});

        // While customising a click runs nothing; once the dialog is closed it does again.
        QSignalSpy removeRuns(frame->commandAction(57601), &QAction::triggered);
        click(buttonOf(*frame->toolbar(128), *frame, 57601));
        QCOMPARE(removeRuns.count(), 0);
        dialog->close();
        QCoreApplication::processEvents();
        QVERIFY(frame->findChild<CustomizeDialog*>() == nullptr);
        click(buttonOf(*frame->toolbar(128), *frame, 57601));
        QCOMPARE(removeRuns.count(), 1);
        QCOMPARE(frame->toolbar(128)->commands(), (QList<int>{57600, 57601, 57603, 0}));
    }

    void paneMenuListsBarsAndCustomize()
    {
        CMainFrame* frame = start();
        QVERIFY(frame != nullptr);
        (void)frame->createUserToolbar(QStringLiteral("Mine"));
        std::unique_ptr<QMenu> menu(frame->createPopupMenu());
        QStringList texts;
        for (const QAction* action : menu->actions())
            texts.append(action->isSeparator() ? QStringLiteral("---") : action->text());
        QCOMPARE(texts, (QStringList{"Standard", "Mine", "---", "Customize..."}));
        QAction* standard = menu->actions().first();
        QVERIFY(standard->isChecked());
        standard->trigger();
        QVERIFY(frame->toolbar(128)->isHidden());
    }
};

QTEST_MAIN(ToolbarTest)
#include "toolbar_test.moc"
