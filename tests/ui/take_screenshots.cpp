// Renders the main window in two looks, the wizard's progress page mid-run and the end of a run
// over damaged drawings built here, and the dialogs, into PNG files for the README. With "all"
// it also renders the main window in each of the nine looks.
//   QT_QPA_PLATFORM=offscreen take_screenshots DIR [all]
#include "drawing_fixture.h"
#include "fake_shell.h"
#include "test_place.h"
#include "ui/about_dlg.h"
#include "ui/custom_message.h"
#include "ui/customize_dialog.h"
#include "ui/main_frame.h"
#include "ui/tarvel_app.h"
#include "ui/tarvel_view.h"
#include "worker_break.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <cstdio>

namespace {

constexpr int RunTimeoutMs = 60000;

bool report(bool ok, const QString& path)
{
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
    return ok;
}

bool save(QWidget& widget, const QString& path)
{
    QCoreApplication::processEvents();
    return report(widget.grab().save(path), path);
}

// The frame with a dialog over its middle, as the user sees them together. Without a window
// manager there is no title bar to grab, so a plain one with the dialog's caption is drawn.
bool saveWithDialog(QWidget& frame, QWidget& dialog, const QString& path)
{
    constexpr int TitleHeight = 24;
    QCoreApplication::processEvents();
    QPixmap shot = frame.grab();
    const QPixmap client = dialog.grab();
    QRect place(QPoint(0, 0), client.size() + QSize(0, TitleHeight));
    place.moveCenter(shot.rect().center());
    QPainter painter(&shot);
    painter.fillRect(place.translated(4, 4), QColor(0, 0, 0, 60)); // a soft shadow
    const QRect title(place.topLeft(), QSize(place.width(), TitleHeight));
    painter.fillRect(title, QColor(0x2f, 0x6f, 0xc0));
    painter.setPen(Qt::white);
    painter.drawText(title.adjusted(8, 0, -8, 0), Qt::AlignLeft | Qt::AlignVCenter,
                     dialog.windowTitle());
    painter.drawPixmap(place.left(), place.top() + TitleHeight, client);
    painter.setPen(QColor(0x1b, 0x4a, 0x93));
    painter.drawRect(place.adjusted(0, 0, -1, -1));
    painter.end();
    return report(shot.save(path), path);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc != 2 && !(argc == 3 && QLatin1String(argv[2]) == QLatin1String("all"))) {
        std::fprintf(stderr, "usage: take_screenshots DIR [all]\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    TestPlace place;
    FakeShell shell;
    CTarvelForOpenOfficeApp app(shell, place.lockName());
    if (!place.isValid() || !app.initInstance())
        return 1;
    CMainFrame& frame = *app.mainFrame();
    CTarvelForOpenOfficeView& view = *frame.view();
    frame.showNormal();
    frame.resize(960, 640);

    QTemporaryDir drawings(QDir::tempPath() + QStringLiteral("/Drawings-XXXXXX"));
    QStringList chosen;
    std::uint32_t seed = 1;
    for (const char* name : {"Kitchen layout.odg", "GardenPlan_no_directory.odg",
                             "GardenPlan_junk_before.odg", "GardenPlan_cut_short.odg"}) {
        chosen.append(drawings.filePath(QLatin1String(name)));
        if (!uifixture::writeDamagedDrawing(chosen.last(), seed++))
            return 1;
    }
    shell.fileChoices = {chosen};
    view.OnSelectFiles();
    if (!QTest::qWaitForWindowExposed(&frame))
        return 1;

    bool ok = true;
    const struct
    {
        int look;
        const char* file;
    } shots[] = {{215, "main-window-blue.png"}, {216, "main-window-black.png"}};
    for (const auto& shot : shots) {
        frame.OnApplicationLook(shot.look);
        ok = save(frame, out.filePath(QLatin1String(shot.file))) && ok;
    }

    for (int look = 210; argc == 3 && look <= 218; ++look) {
        frame.OnApplicationLook(look);
        ok = save(frame, out.filePath(QStringLiteral("main-window-%1.png").arg(look))) && ok;
    }
    frame.OnApplicationLook(215);

    // A run over the four drawings: held as the third starts, then let go to its end.
    const QString dest = drawings.filePath(QStringLiteral("Repaired"));
    const QString thirdLine = QStringLiteral("File Name : ") + view.listedFiles().at(2);
    if (!QDir().mkpath(dest))
        return 1;
    {
        WorkerBreak atThird(view, thirdLine);
        shell.folderChoices = {dest};
        shell.onCompletion = [&](const QString& folder) {
            CCustomMessage done(shell, &frame);
            done.m_strFolder = folder;
            done.show();
            ok = QTest::qWaitForWindowExposed(&done) &&
                 saveWithDialog(frame, done, out.filePath("wizard-completed.png")) && ok;
        };
        view.OnNext();
        ok = atThird.waitUntilReached(RunTimeoutMs) &&
             QTest::qWaitFor([&] { return view.m_editLog->toPlainText().endsWith(thirdLine); },
                             RunTimeoutMs) &&
             save(frame, out.filePath("wizard-progress.png")) && ok;
    }
    ok = QTest::qWaitFor([&] { return !view.OnQueryBusy() && view.m_btnBack->isVisible(); },
                         RunTimeoutMs) &&
         save(frame, out.filePath("wizard-run-ended.png")) && ok;
    view.ShowSelectionPage();

    CAboutDlg about(shell, &frame);
    about.show();
    ok = QTest::qWaitForWindowExposed(&about) && save(about, out.filePath("about.png")) && ok;
    about.close();

    CustomizeDialog* customize = frame.OnViewCustomize();
    ok = QTest::qWaitForWindowExposed(customize) &&
         save(*customize, out.filePath("customize.png")) && ok;
    customize->findChild<QTabWidget*>()->setCurrentIndex(1);
    ok = save(*customize, out.filePath("customize-commands.png")) && ok;
    customize->close();

    CCustomMessage done(shell, &frame);
    done.m_strFolder = QStringLiteral("/home/ann/Drawings/Repaired drawings from the office "
                                      "backup disk/January/");
    done.show();
    ok = QTest::qWaitForWindowExposed(&done) && save(done, out.filePath("completion.png")) && ok;
    return ok ? 0 : 1;
}
