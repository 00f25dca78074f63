// Renders the main window in two looks and the two dialogs into PNG files, for the README.
// With "all" it also renders the main window in each of the nine looks.
//   QT_QPA_PLATFORM=offscreen take_screenshots DIR [all]
#include "fake_shell.h"
#include "test_place.h"
#include "ui/about_dlg.h"
#include "ui/custom_message.h"
#include "ui/customize_dialog.h"
#include "ui/main_frame.h"
#include "ui/tarvel_app.h"
#include "ui/tarvel_view.h"

#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <QTreeWidget>
#include <QtTest>

#include <cstdio>

namespace {

bool save(QWidget& widget, const QString& path)
{
    QCoreApplication::processEvents();
    const bool ok = widget.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
    return ok;
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
    frame.showNormal();
    frame.resize(960, 640);
    for (const char* name : {"GardenPlan_cut_short.odg", "GardenPlan_junk_before.odg",
                             "GardenPlan_no_directory.odg", "Kitchen layout.odg"})
        new QTreeWidgetItem(frame.view()->m_listFiles,
                            {QStringLiteral("/home/ann/Drawings/") + QLatin1String(name)});
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
