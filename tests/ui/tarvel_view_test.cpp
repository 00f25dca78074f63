// The wizard view itself: its controls, the layout rule, the painted background, the texts of
// the information panel and printing.
#include "fake_shell.h"
#include "test_place.h"
#include "ui/main_frame.h"
#include "ui/pictures.h"
#include "ui/rich_edit_ctrl_gs.h"
#include "ui/tarvel_app.h"
#include "ui/tarvel_view.h"

#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextBlock>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

namespace {

const QString Instruction =
    QStringLiteral("\nClick Select Files to select and list .odg file(s) for repairing.\n"
                   "Click Next to repair the listed file(s).");

// The bold runs of a text box, in order.
QStringList boldRuns(const QTextEdit& edit)
{
    QStringList runs;
    QString run;
    const auto flush = [&] {
        if (!run.isEmpty())
            runs.append(run);
        run.clear();
    };
    for (QTextBlock block = edit.document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().fontWeight() >= QFont::Bold)
                run += it.fragment().text();
            else
                flush();
        }
        flush();
    }
    return runs;
}

QImage background(QSize size)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    CTarvelForOpenOfficeView::PaintBackground(painter, size);
    return image;
}

} // namespace

class TarvelViewTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<FakeShell> m_shell;
    std::unique_ptr<CTarvelForOpenOfficeView> m_view;

private slots:
    void init()
    {
        m_shell = std::make_unique<FakeShell>();
        m_view = std::make_unique<CTarvelForOpenOfficeView>(*m_shell);
        m_view->resize(960, 640);
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    }

    void cleanup()
    {
        m_view.reset();
        m_shell.reset();
    }

    void controls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("id");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<bool>("picture");

        QTest::newRow("Next") << "btnNext"
                              << "Next" << 59394 << true << true;
        QTest::newRow("Back") << "btnBack"
                              << "Back" << 59397 << false << true;
        QTest::newRow("Stop") << "btnStop"
                              << "Stop" << 59398 << false << false;
        QTest::newRow("Exit") << "btnExit"
                              << "Exit" << 59399 << false << true;
        QTest::newRow("Select Files") << "btnSelectFiles"
                                      << "Select Files" << 59395 << true << true;
        QTest::newRow("Remove Files") << "btnRemoveFiles"
                                      << "Remove Files" << 59396 << true << true;
    }

    void controls()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(int, id);
        QFETCH(bool, shown);
        QFETCH(bool, picture);
        const auto* button = m_view->findChild<QPushButton*>(name);
        QVERIFY(button != nullptr);
        QCOMPARE(button->text(), text);
        QCOMPARE(button->property("controlId").toInt(), id);
        QCOMPARE(button->isVisible(), shown);
        QCOMPARE(!button->icon().isNull(), picture);
        if (picture)
            QCOMPARE(button->iconSize(), QSize(24, 24));
    }

    void listLogAndPanel()
    {
        QTreeWidget* list = m_view->m_listFiles;
        QCOMPARE(list->columnCount(), 1);
        QCOMPARE(list->headerItem()->text(0), QStringLiteral("File Name"));
        QCOMPARE(list->header()->sectionSize(0), 1000);
        QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
        QVERIFY(!list->isSortingEnabled());
        QVERIFY(list->isVisible());

        QVERIFY(m_view->m_editLog->isReadOnly());
        QVERIFY(!m_view->m_editLog->isVisible());
        QCOMPARE(m_view->m_editLog->font(), list->font());

        QVERIFY(m_view->m_richInfo->isReadOnly());
        QCOMPARE(m_view->m_richInfo->font(), list->font());
        QCOMPARE(m_view->m_richInfo->palette().color(QPalette::Base), QColor(255, 218, 11));
        QCOMPARE(m_view->m_richInfo->property("controlId").toInt(), 300);
    }

    void layoutRule_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("wide") << QSize(960, 640);
        QTest::newRow("narrow") << QSize(420, 300);
    }

    void layoutRule()
    {
        QFETCH(QSize, size);
        m_view->resize(size);
        const int w = size.width();
        const int h = size.height();
        QCOMPARE(m_view->m_richInfo->geometry(), QRect(75, h - 50, w - 275, 45));
        QCOMPARE(m_view->m_listFiles->geometry(), QRect(20, 130, w - 40, h - 200));
        QCOMPARE(m_view->m_editLog->geometry(), QRect(20, 130, w - 40, h - 220));
        for (const QPushButton* button : {m_view->m_btnNext, m_view->m_btnStop, m_view->m_btnBack})
            QCOMPARE(button->geometry(), QRect(w - 100, h - 40, 80, 30));
        QCOMPARE(m_view->m_btnExit->geometry(), QRect(w - 200, h - 40, 80, 30));
        QCOMPARE(m_view->m_btnSelectFiles->geometry(), QRect(20, 95, 100, 30));
        QCOMPARE(m_view->m_btnRemoveFiles->geometry(), QRect(140, 95, 100, 30));
        // The progress bar fits between the log and the bottom band.
        const QRect progress = m_view->m_progress->geometry();
        QVERIFY(progress.top() > m_view->m_editLog->geometry().bottom());
        QVERIFY(progress.bottom() < h - 60);
    }

    void paintedBackground_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("logoLeft");
        QTest::newRow("too narrow for the strip") << 356 << 183;
        QTest::newRow("just too narrow") << 357 << 183;
        QTest::newRow("just wide enough") << 358 << 185;
        QTest::newRow("wide") << 960 << 787;
    }

    void paintedBackground()
    {
        QFETCH(int, width);
        QFETCH(int, logoLeft);
        const int height = 400;
        const QImage painted = background(QSize(width, height));
        const QImage logo = pictures::logo().toImage();
        const QImage band = pictures::bottomBand().toImage();
        const QImage sign = pictures::questionSign().toImage();

        // The logo's sun, which no other picture has.
        QCOMPARE(painted.pixelColor(logoLeft + 150, 28), logo.pixelColor(150, 28));
        QCOMPARE(painted.pixelColor(5, 5), pictures::banner().toImage().pixelColor(5, 5));
        const QColor middle(255, 255, 240);
        QCOMPARE(painted.pixelColor(width / 2, 71), middle);
        QCOMPARE(painted.pixelColor(width / 2, height - 61), middle);
        QCOMPARE(painted.pixelColor(width / 2, height - 60), band.pixelColor(86, 0));
        QCOMPARE(painted.pixelColor(width - 1, height - 1), band.pixelColor(172, 59));
        QCOMPARE(sign.pixelColor(24, 24).alpha(), 255);
        QCOMPARE(painted.pixelColor(20 + 24, height - 50 + 24), sign.pixelColor(24, 24));
        // Every pixel is painted: none of the black underneath is left.
        for (int y = 0; y < height; y += 7)
            for (int x = 0; x < width; x += 7)
                QVERIFY2(painted.pixelColor(x, y).alpha() == 255 &&
                             painted.pixelColor(x, y) != QColor(Qt::black),
                         qPrintable(QStringLiteral("unpainted at %1,%2").arg(x).arg(y)));
    }

    void instructionIsBoldEachTimeTheSelectionPageShows()
    {
        QCOMPARE(m_view->m_richInfo->toPlainText(), Instruction);
        QCOMPARE(boldRuns(*m_view->m_richInfo), (QStringList{" Select Files", " Next"}));
        QVERIFY(!m_view->m_richInfo->textCursor().hasSelection());

        m_view->ShowProgressPage();
        QCOMPARE(m_view->m_richInfo->toPlainText(),
                 QString::fromUtf8("Please wait\u2026 repairing of file(s) is in progress"));
        QVERIFY(boldRuns(*m_view->m_richInfo).isEmpty());

        m_view->ShowSelectionPage();
        QCOMPARE(m_view->m_richInfo->toPlainText(), Instruction);
        QCOMPARE(boldRuns(*m_view->m_richInfo), (QStringList{" Select Files", " Next"}));
    }

    void printing_data()
    {
        QTest::addColumn<bool>("confirmed");
        QTest::newRow("printed") << true;
        QTest::newRow("print dialog cancelled") << false;
    }

    // Ctrl+P in the main window prints the painted view.
    void printing()
    {
        QFETCH(bool, confirmed);
        m_view.reset();
        TestPlace place;
        QVERIFY(place.isValid());
        CTarvelForOpenOfficeApp app(*m_shell, place.lockName());
        QVERIFY(app.initInstance());
        CMainFrame& frame = *app.mainFrame();
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        const QString pdf = place.filePath(QStringLiteral("view.pdf"));
        if (confirmed)
            m_shell->printFile = pdf;

        QTest::keyClick(&frame, Qt::Key_P, Qt::ControlModifier);

        QCOMPARE(QFile::exists(pdf), confirmed);
        if (confirmed) {
            QFile file(pdf);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QVERIFY(file.read(5) == "%PDF-");
            const QByteArray bytes = file.readAll();
            // The banner, logo, strip, band and sign are on the page.
            QVERIFY(bytes.count("/Subtype /Image") >= 5);
        }
    }
};

QTEST_MAIN(TarvelViewTest)
#include "tarvel_view_test.moc"
