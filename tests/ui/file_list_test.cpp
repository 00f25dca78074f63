// The file list of the wizard: Select Files with its duplicate and network messages and the
// reversed rebuild, Remove Files, and drawings dropped onto the window.
#include "fake_shell.h"
#include "ui/tarvel_view.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

namespace {

const QString AlreadyListed = QStringLiteral(" already exist in the list");
const QString NetworkWarning =
    QStringLiteral("You are selecting the file from network. \r\nIt's advisable to copy the file "
                   "to local computer for better saving results ");
const QString NothingToRemove =
    QStringLiteral("Please select the file that you\twant to remove from the list");

} // namespace

class FileListTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<FakeShell> m_shell;
    std::unique_ptr<CTarvelForOpenOfficeView> m_view;

    // Select Files once for each prepared choice (an empty one is a cancelled dialog).
    void selectFiles(const QList<QStringList>& choices)
    {
        m_shell->fileChoices = choices;
        for (qsizetype i = 0; i < choices.size(); ++i)
            QTest::mouseClick(m_view->m_btnSelectFiles, Qt::LeftButton);
    }

    // Drags mime over the file list and drops it there; true when the view takes the drag.
    bool drop(const QMimeData& mime)
    {
        const QPoint at = m_view->m_listFiles->geometry().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        enter.setAccepted(false);
        QApplication::sendEvent(m_view.get(), &enter);
        // A drop reaches only the widget that took the drag.
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_view.get(), &dropped);
        return enter.isAccepted();
    }

private slots:
    void init()
    {
        m_shell = std::make_unique<FakeShell>();
        m_view = std::make_unique<CTarvelForOpenOfficeView>(*m_shell);
        m_view->resize(800, 600);
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    }

    void cleanup()
    {
        m_view.reset();
        m_shell.reset();
    }

    void selectFilesDialog()
    {
        selectFiles({{QStringLiteral("/d/a.odg")}});
        QCOMPARE(m_shell->fileDialogs,
                 QStringList{QStringLiteral("Select file(s) to repair|Draw File(*.odg)")});
        QVERIFY(!m_view->m_listFiles->topLevelItem(0)->icon(0).isNull());
    }

    void selectFiles_data()
    {
        QTest::addColumn<QList<QStringList>>("choices");
        QTest::addColumn<QStringList>("networkFolders");
        QTest::addColumn<QStringList>("listed"); // top to bottom
        QTest::addColumn<QStringList>("messages");

        const QString one = QStringLiteral("/d/one.odg");
        const QString two = QStringLiteral("/d/two.odg");
        const QString third = QStringLiteral("/d/third.odg");
        QTest::newRow("each use reverses the list")
            << QList<QStringList>{{two}, {one}, {third}, {}} << QStringList()
            << QStringList{one, two, third} << QStringList();
        QTest::newRow("several in one choice")
            << QList<QStringList>{{one, two, third}} << QStringList()
            << QStringList{third, two, one} << QStringList();
        QTest::newRow("already listed")
            << QList<QStringList>{{one}, {one, two}} << QStringList() << QStringList{two, one}
            << QStringList{one + AlreadyListed};
        QTest::newRow("twice in one choice")
            << QList<QStringList>{{one, one}} << QStringList() << QStringList{one}
            << QStringList{one + AlreadyListed};
        QTest::newRow("letter case differs")
            << QList<QStringList>{{one}, {QStringLiteral("/d/ONE.odg")}} << QStringList()
            << QStringList{QStringLiteral("/d/ONE.odg"), one} << QStringList();
        QTest::newRow(".odg inside the name, and no .odg at all")
            << QList<QStringList>{{QStringLiteral("/d/plan.odg.bak"), QStringLiteral("/d/a.txt")}}
            << QStringList() << QStringList{QStringLiteral("/d/plan.odg.bak")} << QStringList();
        QTest::newRow("share named by its server, also after a cancel")
            << QList<QStringList>{{QStringLiteral("//srv/plans/a.odg")}, {}} << QStringList()
            << QStringList{QStringLiteral("//srv/plans/a.odg")}
            << QStringList{NetworkWarning, NetworkWarning};
        QTest::newRow("share named with backslashes")
            << QList<QStringList>{{QStringLiteral("\\\\srv\\plans\\a.odg")}} << QStringList()
            << QStringList{QStringLiteral("\\\\srv\\plans\\a.odg")} << QStringList{NetworkWarning};
        QTest::newRow("file on a mounted share")
            << QList<QStringList>{{one}, {QStringLiteral("/mnt/office/a.odg")}}
            << QStringList{QStringLiteral("/mnt/office/")}
            << QStringList{QStringLiteral("/mnt/office/a.odg"), one} << QStringList{NetworkWarning};
    }

    void selectFiles()
    {
        QFETCH(QList<QStringList>, choices);
        QFETCH(QStringList, networkFolders);
        QFETCH(QStringList, listed);
        QFETCH(QStringList, messages);
        m_shell->networkFolders = networkFolders;

        selectFiles(choices);

        QCOMPARE(m_view->listedFiles(), listed);
        QCOMPARE(m_shell->messages, messages);
        QCOMPARE(m_shell->fileDialogs.size(), choices.size());
    }

    void removeFiles_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<QList<int>>("left");
        QTest::addColumn<bool>("complains");

        QTest::newRow("three adjacent") << 5 << QList<int>{1, 2, 3} << QList<int>{0, 4} << false;
        QTest::newRow("first and last") << 5 << QList<int>{0, 4} << QList<int>{1, 2, 3} << false;
        QTest::newRow("all") << 3 << QList<int>{0, 1, 2} << QList<int>{} << false;
        QTest::newRow("none selected") << 3 << QList<int>{} << QList<int>{0, 1, 2} << true;
        QTest::newRow("empty list") << 0 << QList<int>{} << QList<int>{} << true;
    }

    void removeFiles()
    {
        QFETCH(int, count);
        QFETCH(QList<int>, selected);
        QFETCH(QList<int>, left);
        QFETCH(bool, complains);
        QStringList chosen;
        for (int i = count - 1; i >= 0; --i) // listed reversed: item i is file i
            chosen.append(QStringLiteral("/d/%1.odg").arg(i));
        if (count > 0)
            selectFiles({chosen});
        for (const int i : selected)
            m_view->m_listFiles->topLevelItem(i)->setSelected(true);

        QTest::mouseClick(m_view->m_btnRemoveFiles, Qt::LeftButton);

        QStringList expected;
        for (const int i : left)
            expected.append(QStringLiteral("/d/%1.odg").arg(i));
        QCOMPARE(m_view->listedFiles(), expected);
        QCOMPARE(m_shell->messages, complains ? QStringList{NothingToRemove} : QStringList());
    }

    void dropDrawings()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString drawing = dir.filePath(QStringLiteral("a.odg"));
        const QString text = dir.filePath(QStringLiteral("notes.txt"));
        for (const QString& path : {drawing, text}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(drawing), QUrl::fromLocalFile(text),
                      QUrl::fromLocalFile(dir.filePath(QStringLiteral("gone.odg"))),
                      QUrl(QStringLiteral("https://example.org/b.odg"))});

        QVERIFY(drop(mime));
        QCOMPARE(m_view->listedFiles(), QStringList{drawing});
        QVERIFY(m_shell->messages.isEmpty());

        QVERIFY(drop(mime));
        QCOMPARE(m_view->listedFiles(), QStringList{drawing});
        QCOMPARE(m_shell->messages, QStringList{drawing + AlreadyListed});
    }

    void dropRefused_data()
    {
        QTest::addColumn<bool>("progressPage");
        QTest::addColumn<bool>("drawing");
        QTest::newRow("no drawing among the files") << false << false;
        QTest::newRow("on the progress page") << true << true;
    }

    void dropRefused()
    {
        QFETCH(bool, progressPage);
        QFETCH(bool, drawing);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path =
            dir.filePath(drawing ? QStringLiteral("a.odg") : QStringLiteral("a.txt"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (progressPage)
            m_view->ShowProgressPage();
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(path)});

        QVERIFY(!drop(mime));
        QVERIFY(m_view->listedFiles().isEmpty());
    }
};

QTEST_MAIN(FileListTest)
#include "file_list_test.moc"
