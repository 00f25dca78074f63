#include "ui/tarvel_view.h"

#include "ui/shell_services.h"
#include "ui/ui_texts.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QTreeWidget>

std::atomic<QThread*> g_pRepairThread{nullptr};

namespace {

constexpr int FileColumnWidth = 1000;
constexpr int Margin = 20;

} // namespace

CTarvelForOpenOfficeView::CTarvelForOpenOfficeView(ShellServices& shell, QWidget* parent)
    : QWidget(parent), m_shell(shell)
{
    m_listFiles = new QTreeWidget(this);
    m_listFiles->setObjectName(QStringLiteral("listFiles"));
    m_listFiles->setRootIsDecorated(false);
    m_listFiles->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_listFiles->setHeaderLabels({QString(uitext::FileNameColumn)});
    m_listFiles->header()->resizeSection(0, FileColumnWidth);

    m_editLog = new QPlainTextEdit(this);
    m_editLog->setObjectName(QStringLiteral("editLog"));
    m_editLog->setReadOnly(true);
    m_editLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_editLog->hide();

    ShowSelectionPage();
}

bool CTarvelForOpenOfficeView::OnQueryBusy() const
{
    return g_pRepairThread.load() != nullptr;
}

bool CTarvelForOpenOfficeView::IsFileListShown() const
{
    return !m_listFiles->isHidden();
}

void CTarvelForOpenOfficeView::ShowSelectionPage()
{
    m_editLog->hide();
    m_listFiles->show();
    emit commandStateChanged();
}

void CTarvelForOpenOfficeView::ShowProgressPage()
{
    m_listFiles->hide();
    m_editLog->show();
    emit commandStateChanged();
}

void CTarvelForOpenOfficeView::OnSelectFiles()
{
    const QStringList paths = QFileDialog::getOpenFileNames(
        this, QString(), QString(), QStringLiteral("OpenDocument Drawing (*.odg)"));
    for (const QString& path : paths)
        new QTreeWidgetItem(m_listFiles, {QFileInfo(path).absoluteFilePath()});
}

void CTarvelForOpenOfficeView::OnRemoveFiles()
{
    qDeleteAll(m_listFiles->selectedItems());
}

void CTarvelForOpenOfficeView::OnNext()
{
    if (m_listFiles->topLevelItemCount() == 0) {
        m_shell.showMessage(this, QString(uitext::SelectFilesFirst));
        return;
    }
    // TODO: ask for the destination folder and start the batch worker; the run control is
    // built on top of this view and needs the worker adapter first.
}

void CTarvelForOpenOfficeView::OnFilePrint()
{
    QPrinter printer;
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QPainter painter(&printer);
    const QRect page = painter.viewport();
    const QSize size = this->size().scaled(page.size(), Qt::KeepAspectRatio);
    painter.setViewport(page.x(), page.y(), size.width(), size.height());
    painter.setWindow(rect());
    render(&painter);
}

void CTarvelForOpenOfficeView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutControls();
}

void CTarvelForOpenOfficeView::layoutControls()
{
    const QRect area = rect().adjusted(Margin, Margin, -Margin, -Margin);
    m_listFiles->setGeometry(area);
    m_editLog->setGeometry(area);
}
