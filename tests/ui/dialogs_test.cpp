// The About box, the completion dialog with its folder link, the hand-cursor label and the bold
// toggle of the rich text box.
#include "fake_shell.h"
#include "test_place.h"
#include "ui/about_dlg.h"
#include "ui/custom_message.h"
#include "ui/link_label.h"
#include "ui/my_static.h"
#include "ui/rich_edit_ctrl_gs.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QtTest>

#include <memory>

namespace {

// A release of `button` at `pos` (widget coordinates), after a press at the same place.
void clickWith(QWidget* widget, Qt::MouseButton button, QPoint pos)
{
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(pos), QPointF(widget->mapToGlobal(pos)),
                      button, button, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(pos), QPointF(widget->mapToGlobal(pos)),
                        button, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

// The bold state of each character: "B" bold, "." regular, "|" a paragraph break.
QString boldMask(const QTextEdit& edit)
{
    QString mask;
    for (QTextBlock block = edit.document()->begin(); block.isValid(); block = block.next()) {
        if (block != edit.document()->begin())
            mask += QLatin1Char('|');
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QChar mark = fragment.charFormat().fontWeight() >= QFont::Bold ? QLatin1Char('B')
                                                                                 : QLatin1Char('.');
            mask += QString(fragment.length(), mark);
        }
    }
    return mask;
}

void select(QTextEdit& edit, int start, int end)
{
    QTextCursor cursor = edit.textCursor();
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    edit.setTextCursor(cursor);
}

} // namespace

class DialogsTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestPlace> m_place;
    std::unique_ptr<FakeShell> m_shell;

private slots:
    void init()
    {
        m_place = std::make_unique<TestPlace>();
        QVERIFY(m_place->isValid());
        m_shell = std::make_unique<FakeShell>();
    }

    void cleanup() { m_place.reset(); }

    void aboutBoxShowsBlueOnWhite()
    {
        CAboutDlg about(*m_shell);
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QCOMPARE(about.windowTitle(), QStringLiteral("About Tarvel For Draw"));
        QVERIFY(
            about.label()->text().startsWith(QStringLiteral("Tarvel For Draw ver 8.12.01 \n\n")));
        QVERIFY(about.label()->text().count(QLatin1Char('\n')) >= 3); // maker and contact lines
        QCOMPARE(about.palette().color(QPalette::Window), QColor(Qt::white));
        QCOMPARE(about.label()->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QCOMPARE(about.okButton()->text(), QStringLiteral("OK"));
        QVERIFY(about.okButton()->isDefault());
        QCOMPARE(about.label()->cursor().shape(), Qt::PointingHandCursor);

        // A little wider than tall, as designed, and every control inside the box.
        QVERIFY(about.height() > about.width() * 2 / 3 && about.height() < about.width());
        for (const QWidget* child :
             {static_cast<QWidget*>(about.label()), static_cast<QWidget*>(about.okButton())})
            QVERIFY(about.rect().contains(child->geometry()));
        // The text fits its label.
        const QRect needed = about.label()->fontMetrics().boundingRect(
            about.label()->rect(), Qt::AlignHCenter | Qt::TextWordWrap, about.label()->text());
        QVERIFY(needed.height() <= about.label()->height());
    }

    void aboutTextClickOpensProductPage_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("inside");
        QTest::addColumn<int>("opened");
        QTest::newRow("left") << int(Qt::LeftButton) << true << 1;
        QTest::newRow("right") << int(Qt::RightButton) << true << 1;
        QTest::newRow("middle") << int(Qt::MiddleButton) << true << 0;
        QTest::newRow("released outside") << int(Qt::LeftButton) << false << 0;
    }

    void aboutTextClickOpensProductPage()
    {
        QFETCH(int, button);
        QFETCH(bool, inside);
        QFETCH(int, opened);
        CAboutDlg about(*m_shell);
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        const QPoint at = inside ? about.label()->rect().center() : QPoint(-5, -5);
        clickWith(about.label(), static_cast<Qt::MouseButton>(button), at);
        QCOMPARE(m_shell->opened.size(), opened);
        if (opened > 0) {
            QVERIFY(m_shell->opened.first().isLocalFile());
            QVERIFY(QFile::exists(m_shell->opened.first().toLocalFile()));
        }
        QVERIFY(about.isVisible()); // the click does not close the box
    }

    void handCursorFollowsMouse()
    {
        CMyStatic label;
        label.setText(QStringLiteral("text"));
        label.show();
        QVERIFY(QTest::qWaitForWindowExposed(&label));
        label.setCursor(Qt::ArrowCursor); // something else changed it
        QMouseEvent move(QEvent::MouseMove, QPointF(label.rect().center()),
                         QPointF(label.mapToGlobal(label.rect().center())), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&label, &move);
        QCOMPARE(label.cursor().shape(), Qt::PointingHandCursor);
    }

    void folderLinkText_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("text");
        const QString eighty =
            QStringLiteral("/") + QString(78, QLatin1Char('a')) + QStringLiteral("/");
        QTest::newRow("short") << "/home/ann/out/"
                               << "/home/ann/out/...";
        QTest::newRow("empty") << ""
                               << "...";
        QTest::newRow("exactly 80") << eighty << eighty + "...";
        QTest::newRow("81") << eighty + "b" << eighty + "...";
        QTest::newRow("long") << eighty + QString(200, QLatin1Char('c')) << eighty + "...";
        // A character outside the basic plane counts once and is never cut in half.
        const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80");
        const QString seventyNine = QString(79, QLatin1Char('d'));
        QTest::newRow("wide character at the cut")
            << seventyNine + smile + "/e/" << seventyNine + smile + "...";
        QTest::newRow("wide characters throughout")
            << QString(100, QLatin1Char('x')).replace(QLatin1Char('x'), smile)
            << QString(80, QLatin1Char('x')).replace(QLatin1Char('x'), smile) + "...";
    }

    void folderLinkText()
    {
        QFETCH(QString, folder);
        QFETCH(QString, text);
        QCOMPARE(CCustomMessage::LinkText(folder), text);

        CCustomMessage dialog(*m_shell);
        dialog.m_strFolder = folder;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(dialog.m_linkFolder != nullptr);
        QCOMPARE(dialog.m_linkFolder->text(), text);
        QCOMPARE(dialog.m_linkFolder->toolTip(), folder); // always the whole folder
        QVERIFY(dialog.m_linkFolder->isVisible());
        // However long, the link stays inside the dialog and above the OK button.
        QVERIFY(dialog.rect().contains(dialog.m_linkFolder->geometry()));
        const auto* ok = dialog.findChild<QPushButton*>();
        QVERIFY(dialog.m_linkFolder->geometry().bottom() < ok->geometry().top());
    }

    void completionDialogLayout()
    {
        CCustomMessage dialog(*m_shell);
        dialog.m_strFolder = m_place->path() + QStringLiteral("/");
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Tarvel For Draw"));
        QStringList texts;
        for (const QLabel* label : dialog.findChildren<QLabel*>())
            if (label->isVisible())
                texts.append(label->text());
        QCOMPARE(texts,
                 QStringList{QStringLiteral("The repairing process was completed successfully ")});
        QVERIFY(dialog.findChild<QLabel*>(QStringLiteral("label1002"))->isHidden());
        const auto* ok = dialog.findChild<QPushButton*>();
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        QVERIFY(ok->isDefault());
        QVERIFY(dialog.width() > dialog.height() * 3); // a wide, low box
    }

    void folderLinkClickOpensFolder_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("opened");
        QTest::newRow("left") << int(Qt::LeftButton) << 1;
        QTest::newRow("right") << int(Qt::RightButton) << 1;
        QTest::newRow("middle") << int(Qt::MiddleButton) << 0;
    }

    void folderLinkClickOpensFolder()
    {
        QFETCH(int, button);
        QFETCH(int, opened);
        const QString folder = m_place->path() + QStringLiteral("/repaired drawings/");
        CCustomMessage dialog(*m_shell);
        dialog.m_strFolder = folder;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        clickWith(dialog.m_linkFolder, static_cast<Qt::MouseButton>(button),
                  dialog.m_linkFolder->rect().center());
        QCOMPARE(m_shell->opened.size(), opened); // once per click, never twice
        if (opened > 0)
            QCOMPARE(m_shell->opened.first(), QUrl::fromLocalFile(folder));
        QVERIFY(dialog.isVisible());
    }

    void toggleSelectionBold_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<int>("toggles");
        QTest::addColumn<QString>("after");
        QTest::newRow("plain becomes bold") << "Hello world"
                                            << "..........." << 6 << 11 << 1 << "......BBBBB";
        QTest::newRow("twice leaves plain") << "Hello world"
                                            << "..........." << 6 << 11 << 2 << "...........";
        QTest::newRow("all bold becomes plain") << "Hello world"
                                                << "BBBBBBBBBBB" << 0 << 5 << 1 << ".....BBBBBB";
        QTest::newRow("mixed becomes bold") << "Hello world"
                                            << "..BB......." << 0 << 5 << 1 << "BBBBB......";
        QTest::newRow("bold next to the selection does not count")
            << "Hello world"
            << "BB...BBBBBB" << 2 << 5 << 1 << "BBBBBBBBBBB";
        QTest::newRow("across a paragraph break") << "ab\ncd"
                                                  << "..|.." << 1 << 4 << 1 << ".B|B.";
        QTest::newRow("bold across a break becomes plain") << "ab\ncd"
                                                           << ".B|B." << 1 << 4 << 1 << "..|..";
    }

    void toggleSelectionBold()
    {
        QFETCH(QString, text);
        QFETCH(QString, before);
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(int, toggles);
        QFETCH(QString, after);
        CRichEditCtrlGS edit;
        edit.setPlainText(text);
        // Lay down the starting format one character at a time ("|" is a paragraph break).
        for (int i = 0; i < before.size(); ++i) {
            if (before.at(i) != QLatin1Char('B'))
                continue;
            QTextCursor cursor(edit.document());
            cursor.setPosition(i);
            cursor.setPosition(i + 1, QTextCursor::KeepAnchor);
            QTextCharFormat bold;
            bold.setFontWeight(QFont::Bold);
            cursor.mergeCharFormat(bold);
        }
        QCOMPARE(boldMask(edit), before);
        select(edit, start, end);
        for (int i = 0; i < toggles; ++i)
            edit.ToggleSelectionBold();
        QCOMPARE(boldMask(edit), after);
        QCOMPARE(edit.textCursor().selectionStart(), start); // the selection stays
        QCOMPARE(edit.textCursor().selectionEnd(), end);
    }

    void toggleWithoutSelectionSetsTypingFormat()
    {
        CRichEditCtrlGS edit;
        edit.setPlainText(QStringLiteral("ab"));
        select(edit, 2, 2);
        edit.ToggleSelectionBold();
        edit.insertPlainText(QStringLiteral("c"));
        edit.ToggleSelectionBold();
        edit.insertPlainText(QStringLiteral("d"));
        QCOMPARE(boldMask(edit), QStringLiteral("..B."));
    }
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
