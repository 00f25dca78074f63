#include "ui/tarvel_view.h"

#include "batch/batch_texts.h"
#include "ui/pictures.h"
#include "ui/rich_edit_ctrl_gs.h"
#include "ui/shell_services.h"
#include "ui/ui_texts.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTextFrame>
#include <QThread>
#include <QTreeWidget>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int FileColumnWidth = 1000;

// The painted background, in pixels.
constexpr int BandHeight = 71;      // banner, logo, strip and bottom band
constexpr int StripStart = 183;     // the fill strip covers the banner's last 11 columns
constexpr int MiddleBottomGap = 50; // the middle area ends this far above the bottom
constexpr int BottomBandRise = 60;  // the bottom band starts this far above the bottom
constexpr int SignLeft = 20;        // the question-mark sign, MiddleBottomGap above the bottom
const QColor MiddleColour{255, 255, 240};
const QColor InfoColour{255, 218, 11};

// The layout rule, in pixels from the client area's edges.
constexpr int Margin = 20;
constexpr int ListTop = 130;
constexpr int ListHeightLoss = 200; // the list is the client height less this
constexpr int LogHeightLoss = 220;  // the log is 20 pixels shorter than the list
constexpr int FileButtonsTop = 95;
constexpr int FileButtonWidth = 100;
constexpr int RemoveButtonLeft = 140;
constexpr int InfoLeft = 75;
constexpr int InfoWidthLoss = 275;
constexpr int InfoHeight = 45;
constexpr int InfoTextIndent = 4;
constexpr int RunButtonWidth = 80;
constexpr int RunButtonHeight = 30;
constexpr int RunButtonRight = 100; // Next, Stop and Back share this place
constexpr int ExitButtonRight = 200;
constexpr int RunButtonRise = 40;
// The progress bar sits in the 20 pixels the log leaves free above the bottom band.
constexpr int ProgressRise = 87;
constexpr int ProgressHeight = 16;

// Next, Select Files and Remove Files have a thin border that lights up under the mouse; the
// other buttons keep the look's raised one.
const QString SemiFlatStyle =
    QStringLiteral("QPushButton { border: 1px solid palette(mid); border-radius: 3px; background: "
                   "palette(button); padding: 2px 0px; }"
                   "QPushButton:hover { border-color: palette(dark); background: palette(light); }"
                   "QPushButton:pressed { background: palette(midlight); }");

// Grid lines between the rows and at the column's end, as in a report-style list.
class GridLineDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(option.palette.color(QPalette::Midlight));
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
        painter->restore();
    }
};

bool isSeparator(QChar c)
{
    return c == QLatin1Char('/') || c == QLatin1Char('\\');
}

bool looksLikeDrawing(const QString& path)
{
    return path.toUpper().contains(uitext::DrawFileMark);
}

// The local drawings among dropped addresses.
QStringList droppedDrawings(const QMimeData* mime)
{
    QStringList paths;
    if (mime == nullptr || !mime->hasUrls())
        return paths;
    for (const QUrl& url : mime->urls()) {
        const QString path = url.toLocalFile();
        if (!path.isEmpty() && looksLikeDrawing(path) && QFileInfo(path).isFile())
            paths.append(path);
    }
    return paths;
}

std::string toEngine(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

} // namespace

CTarvelForOpenOfficeView::CTarvelForOpenOfficeView(ShellServices& shell, QWidget* parent)
    : QWidget(parent), m_shell(shell)
{
    setObjectName(QStringLiteral("TarvelView"));
    // Every pixel comes from the painting or a child: nothing is erased first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAcceptDrops(true);

    m_richInfo = new CRichEditCtrlGS(this);
    m_richInfo->setObjectName(QStringLiteral("richInfo"));
    m_richInfo->setProperty("controlId", IdRichInfo);
    m_richInfo->setReadOnly(true);
    m_richInfo->setFrameShape(QFrame::NoFrame);
    m_richInfo->setFocusPolicy(Qt::NoFocus);
    m_richInfo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The instruction's three lines (the first one empty) just fit the panel's 45 pixels.
    m_richInfo->document()->setDocumentMargin(0);
    QPalette infoPalette = m_richInfo->palette();
    // The yellow stays in every look, so the text stays dark.
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        infoPalette.setColor(group, QPalette::Base, InfoColour);
        infoPalette.setColor(group, QPalette::Text, Qt::black);
    }
    m_richInfo->setPalette(infoPalette);

    m_editLog = new QPlainTextEdit(this);
    m_editLog->setObjectName(QStringLiteral("editLog"));
    m_editLog->setProperty("controlId", IdEditLog);
    m_editLog->setReadOnly(true);
    m_editLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_editLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_editLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_editLog->hide();

    m_listFiles = new QTreeWidget(this);
    m_listFiles->setObjectName(QStringLiteral("listFiles"));
    m_listFiles->setProperty("controlId", IdListFiles);
    m_listFiles->setRootIsDecorated(false);
    m_listFiles->setUniformRowHeights(true);
    m_listFiles->setAllColumnsShowFocus(true);
    m_listFiles->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_listFiles->setItemDelegate(new GridLineDelegate(m_listFiles));
    m_listFiles->setIconSize(QSize(16, 16));
    m_listFiles->setHeaderLabels({QString(uitext::FileNameColumn)});
    m_listFiles->headerItem()->setTextAlignment(0, Qt::AlignLeft | Qt::AlignVCenter);
    m_listFiles->header()->setStretchLastSection(false);
    m_listFiles->header()->setSectionsMovable(false);
    m_listFiles->header()->resizeSection(0, FileColumnWidth);

    const auto makeButton = [this](QLatin1String text, int id, const char* name,
                                   std::optional<pictures::Button> picture, bool semiFlat) {
        auto* button = new QPushButton(QString(text), this);
        button->setObjectName(QLatin1String(name));
        button->setProperty("controlId", id);
        if (picture) {
            button->setIcon(QIcon(pictures::buttonPicture(*picture)));
            button->setIconSize(QSize(pictures::ButtonPictureSize, pictures::ButtonPictureSize));
        }
        if (semiFlat)
            button->setStyleSheet(SemiFlatStyle);
        return button;
    };
    m_btnNext = makeButton(uitext::ButtonNext, IdNext, "btnNext", pictures::Button::Next, true);
    m_btnBack = makeButton(uitext::ButtonBack, IdBack, "btnBack", pictures::Button::Back, false);
    m_btnStop = makeButton(uitext::ButtonStop, IdStop, "btnStop", std::nullopt, false);
    m_btnExit = makeButton(uitext::ButtonExit, IdExit, "btnExit", pictures::Button::Exit, false);
    m_btnSelectFiles = makeButton(uitext::ButtonSelectFiles, IdSelectFiles, "btnSelectFiles",
                                  pictures::Button::SelectFiles, true);
    m_btnRemoveFiles = makeButton(uitext::ButtonRemoveFiles, IdRemoveFiles, "btnRemoveFiles",
                                  pictures::Button::RemoveFiles, true);
    m_btnBack->hide();
    m_btnStop->hide();
    m_btnExit->hide();
    connect(m_btnNext, &QPushButton::clicked, this, &CTarvelForOpenOfficeView::OnNext);
    connect(m_btnBack, &QPushButton::clicked, this, &CTarvelForOpenOfficeView::ShowSelectionPage);
    connect(m_btnStop, &QPushButton::clicked, this, &CTarvelForOpenOfficeView::OnStop);
    connect(m_btnExit, &QPushButton::clicked, this, &CTarvelForOpenOfficeView::OnExitButton);
    connect(m_btnSelectFiles, &QPushButton::clicked, this,
            &CTarvelForOpenOfficeView::OnSelectFiles);
    connect(m_btnRemoveFiles, &QPushButton::clicked, this,
            &CTarvelForOpenOfficeView::OnRemoveFiles);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progress"));
    m_progress->setFormat(QString(uitext::ProgressFormat));
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_progress->hide();

    m_editLog->setFont(m_listFiles->font());
    m_richInfo->setFont(m_listFiles->font());

    ShowSelectionPage();
}

CTarvelForOpenOfficeView::~CTarvelForOpenOfficeView()
{
    // Closing is refused while a run lasts, so this is the program ending some other way. The
    // worker finishes its current file; nothing it waits for needs this thread. An earlier
    // run's thread may still be winding down too: a thread must not be destroyed running.
    m_bStopRequested.store(true);
    m_gate.abandon();
    for (QThread* thread : findChildren<QThread*>(Qt::FindDirectChildrenOnly))
        thread->wait();
}

bool CTarvelForOpenOfficeView::OnQueryBusy() const
{
    return g_pRepairThread.load() != nullptr;
}

bool CTarvelForOpenOfficeView::IsFileListShown() const
{
    return !m_listFiles->isHidden();
}

QStringList CTarvelForOpenOfficeView::listedFiles() const
{
    QStringList paths;
    for (int i = 0; i < m_listFiles->topLevelItemCount(); ++i)
        paths.append(m_listFiles->topLevelItem(i)->text(0));
    return paths;
}

void CTarvelForOpenOfficeView::ShowSelectionPage()
{
    m_btnStop->hide();
    m_btnNext->show();
    m_btnBack->hide();
    m_btnExit->hide();
    m_listFiles->show();
    m_btnSelectFiles->show();
    m_btnRemoveFiles->show();
    m_editLog->hide();
    m_progress->hide();
    setInfoText(QString(uitext::Instruction));
    toggleInfoBold(uitext::SelectFilesBoldFirst, uitext::SelectFilesBoldLast);
    toggleInfoBold(uitext::NextBoldFirst, uitext::NextBoldLast);
    emit commandStateChanged();
}

void CTarvelForOpenOfficeView::ShowProgressPage()
{
    m_btnStop->show();
    m_btnNext->hide();
    m_btnBack->hide();
    m_btnExit->hide();
    m_listFiles->hide();
    m_btnSelectFiles->hide();
    m_btnRemoveFiles->hide();
    m_editLog->show();
    m_progress->show();
    setInfoText(QString::fromUtf8(batchtext::InfoRunning.data(),
                                  static_cast<qsizetype>(batchtext::InfoRunning.size())));
    emit commandStateChanged();
}

void CTarvelForOpenOfficeView::showEndButtons()
{
    m_btnStop->hide();
    m_btnNext->hide();
    m_btnBack->show();
    m_btnExit->show();
    emit commandStateChanged();
}

void CTarvelForOpenOfficeView::setInfoText(const QString& text)
{
    m_richInfo->setPlainText(text);
    // A little room left and right only: the height is needed for the lines.
    QTextFrame* root = m_richInfo->document()->rootFrame();
    QTextFrameFormat format = root->frameFormat();
    format.setLeftMargin(InfoTextIndent);
    format.setRightMargin(InfoTextIndent);
    root->setFrameFormat(format);
}

void CTarvelForOpenOfficeView::toggleInfoBold(int first, int last)
{
    QTextCursor cursor = m_richInfo->textCursor();
    cursor.setPosition(first);
    cursor.setPosition(last + 1, QTextCursor::KeepAnchor);
    m_richInfo->setTextCursor(cursor);
    m_richInfo->ToggleSelectionBold();
    // The panel shows no selection, as the control did without the focus.
    cursor.clearSelection();
    cursor.setPosition(0);
    m_richInfo->setTextCursor(cursor);
}

void CTarvelForOpenOfficeView::appendLog(const QString& line)
{
    m_editLog->appendPlainText(line);
    QScrollBar* bar = m_editLog->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void CTarvelForOpenOfficeView::OnSelectFiles()
{
    addFiles(m_shell.chooseOpenFiles(this, QString(uitext::SelectFilesTitle),
                                     QString(uitext::DrawFileFilter)));
}

void CTarvelForOpenOfficeView::addFiles(const QStringList& chosen)
{
    QStringList working = listedFiles();
    for (const QString& path : chosen) {
        if (working.contains(path)) { // exact: two spellings of one file are two items
            m_shell.showMessage(this, path + QString(uitext::AlreadyListed));
            continue;
        }
        working.append(path);
    }
    rebuildList(working);
}

void CTarvelForOpenOfficeView::rebuildList(const QStringList& paths)
{
    // Each kept path goes to the top, so the list shows the working list reversed: newly chosen
    // files first. This happens on every Select Files, confirmed or cancelled.
    m_listFiles->clear();
    bool networkSeen = false;
    for (const QString& path : paths) {
        if (!looksLikeDrawing(path))
            continue;
        if (isNetworkPath(path))
            networkSeen = true;
        auto* item = new QTreeWidgetItem({path});
        item->setIcon(0, m_fileIcons.icon(m_fileIcons.GetFileIconIndex(path, true)));
        m_listFiles->insertTopLevelItem(0, item);
    }
    if (networkSeen)
        m_shell.showMessage(this, QString(uitext::NetworkWarning));
}

bool CTarvelForOpenOfficeView::isNetworkPath(const QString& path)
{
    if (path.size() >= 2 && isSeparator(path.at(0)) && isSeparator(path.at(1)))
        return true; // a share named by its server
    return m_shell.isOnNetworkShare(path);
}

void CTarvelForOpenOfficeView::OnRemoveFiles()
{
    const int count = m_listFiles->topLevelItemCount();
    bool removed = false;
    for (int i = 0; i < count;) {
        // Past the shrinking end there is no item, and so no selected one.
        QTreeWidgetItem* item = m_listFiles->topLevelItem(i);
        if (item != nullptr && item->isSelected()) {
            delete item; // the next item moves into this place
            removed = true;
        } else {
            ++i;
        }
    }
    if (!removed)
        m_shell.showMessage(this, QString(uitext::NothingToRemove));
}

QString CTarvelForOpenOfficeView::ChooseDestinationFolder()
{
    const QString folder = m_shell.chooseFolder(this, QString(uitext::SelectFolderTitle));
    if (folder.isEmpty())
        return {};
    if (m_shell.isOnReadOnlyMedia(folder)) {
        m_shell.showMessage(this, QString(uitext::UnsuitableFolder));
        return {};
    }
    return folder;
}

void CTarvelForOpenOfficeView::OnNext()
{
    if (OnQueryBusy())
        return; // one run at a time
    if (m_listFiles->topLevelItemCount() == 0) {
        m_shell.showMessage(this, QString(uitext::SelectFilesFirst));
        return;
    }
    QString folder = ChooseDestinationFolder();
    if (folder.isEmpty())
        return;
    if (!isSeparator(folder.back()))
        folder += QLatin1Char('/');
    m_strDestFolder = folder;

    // The worker's snapshot: it never reads the widgets.
    std::vector<std::string> paths;
    for (const QString& path : listedFiles())
        paths.push_back(toEngine(path));
    m_progress->setRange(0, static_cast<int>(paths.size()));
    m_progress->setValue(0);
    ShowProgressPage();

    // Cleared here rather than by the worker, so a Stop confirmed in the run's first moments
    // still counts.
    m_bStopRequested.store(false);
    m_gate.reset();
    auto* thread = new QThread(this);
    auto* worker =
        new RepairWorker(std::move(paths), toEngine(m_strDestFolder), m_bStopRequested, m_gate);
    worker->moveToThread(thread);
    connectWorker(worker);
    connect(thread, &QThread::started, worker, &RepairWorker::run);
    connect(thread, &QThread::finished, worker, &QObject::deleteLater);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    emit repairStarted(worker);
    // In place before the worker can end, so that the worker's clearing of it comes last.
    g_pRepairThread.store(thread);
    thread->start();
}

void CTarvelForOpenOfficeView::connectWorker(RepairWorker* worker)
{
    constexpr auto Queued = Qt::QueuedConnection;
    connect(
        worker, &RepairWorker::logCleared, this, [this] { m_editLog->clear(); }, Queued);
    connect(worker, &RepairWorker::lineAppended, this, &CTarvelForOpenOfficeView::appendLog,
            Queued);
    connect(worker, &RepairWorker::infoTextChanged, this, &CTarvelForOpenOfficeView::setInfoText,
            Queued);
    connect(worker, &RepairWorker::infoBoldToggled, this, &CTarvelForOpenOfficeView::toggleInfoBold,
            Queued);
    connect(
        worker, &RepairWorker::fileFinished, this,
        [this](int done, int count, bool) {
            m_progress->setMaximum(count);
            m_progress->setValue(done);
        },
        Queued);
    connect(
        worker, &RepairWorker::abortMessageRequested, this,
        [this](const QString& text) {
            m_shell.showMessage(this, text);
            m_gate.dialogClosed();
        },
        Queued);
    connect(
        worker, &RepairWorker::completionRequested, this,
        [this](const QString& folder, int saved, int processed) {
            showCompletion(folder, saved, processed);
            m_gate.dialogClosed();
        },
        Queued);
    connect(worker, &RepairWorker::endButtonsRequested, this,
            &CTarvelForOpenOfficeView::showEndButtons, Queued);
}

void CTarvelForOpenOfficeView::showCompletion(const QString& folder, int saved, int processed)
{
    // The completion dialog says the run went well; it is shown only when it did.
    if (saved == processed)
        m_shell.showCompletion(this, folder);
    else
        m_shell.showMessage(this,
                            QString(uitext::NotAllRepaired).arg(processed - saved).arg(processed));
}

void CTarvelForOpenOfficeView::OnStop()
{
    if (!OnQueryBusy())
        return;
    // The gate belongs to this view, so holding it is safe even if the worker has just ended.
    m_gate.hold();
    if (m_shell.askYesNo(this, QString(uitext::ConfirmStop))) {
        m_btnStop->hide();
        m_bStopRequested.store(true);
    }
    m_gate.release();
}

void CTarvelForOpenOfficeView::OnExitButton()
{
    // Posted: the frame asks its close question once this click is over.
    QWidget* frame = window();
    QMetaObject::invokeMethod(
        frame, [frame] { (void)frame->close(); }, Qt::QueuedConnection);
}

void CTarvelForOpenOfficeView::OnFilePrint()
{
    QPrinter printer(QPrinter::HighResolution);
    if (!m_shell.choosePrinter(this, printer))
        return;
    (void)PrintView(printer); // a printer that cannot start has said so in its own dialog
}

bool CTarvelForOpenOfficeView::PrintView(QPrinter& printer) const
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const QSize area = size().isEmpty() ? QSize(640, 480) : size();
    const QRect page = painter.viewport();
    const QSize scaled = area.scaled(page.size(), Qt::KeepAspectRatio);
    painter.setViewport(page.x(), page.y(), scaled.width(), scaled.height());
    painter.setWindow(QRect(QPoint(0, 0), area));
    PaintBackground(painter, area);
    return painter.end();
}

void CTarvelForOpenOfficeView::PaintBackground(QPainter& painter, QSize size)
{
    const int w = size.width();
    const int h = size.height();
    painter.drawPixmap(0, 0, pictures::banner());
    const int logoLeft = w - pictures::StripSize.width();
    if (logoLeft > StripStart) {
        painter.drawPixmap(logoLeft, 0, pictures::logo());
        painter.drawPixmap(QRect(StripStart, 0, logoLeft - StripStart, BandHeight),
                           pictures::fillStrip());
    } else {
        painter.drawPixmap(StripStart, 0, pictures::logo());
    }
    painter.fillRect(QRect(0, BandHeight, w, h - MiddleBottomGap - BandHeight), MiddleColour);
    painter.drawPixmap(QRect(0, h - BottomBandRise, w, BandHeight), pictures::bottomBand());
    painter.drawPixmap(SignLeft, h - MiddleBottomGap, pictures::questionSign());
}

void CTarvelForOpenOfficeView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintBackground(painter, size());
}

void CTarvelForOpenOfficeView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutControls();
}

void CTarvelForOpenOfficeView::layoutControls()
{
    const int w = width();
    const int h = height();
    const auto at = [](QWidget* control, int x, int y, int cx, int cy) {
        control->setGeometry(x, y, std::max(cx, 0), std::max(cy, 0));
    };
    at(m_richInfo, InfoLeft, h - MiddleBottomGap, w - InfoWidthLoss, InfoHeight);
    at(m_listFiles, Margin, ListTop, w - 2 * Margin, h - ListHeightLoss);
    at(m_editLog, Margin, ListTop, w - 2 * Margin, h - LogHeightLoss);
    at(m_progress, Margin, h - ProgressRise, w - 2 * Margin, ProgressHeight);
    for (QPushButton* button : {m_btnNext, m_btnStop, m_btnBack})
        at(button, w - RunButtonRight, h - RunButtonRise, RunButtonWidth, RunButtonHeight);
    at(m_btnExit, w - ExitButtonRight, h - RunButtonRise, RunButtonWidth, RunButtonHeight);
    at(m_btnSelectFiles, Margin, FileButtonsTop, FileButtonWidth, RunButtonHeight);
    at(m_btnRemoveFiles, RemoveButtonLeft, FileButtonsTop, FileButtonWidth, RunButtonHeight);
}

void CTarvelForOpenOfficeView::dragEnterEvent(QDragEnterEvent* event)
{
    if (IsFileListShown() && !droppedDrawings(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CTarvelForOpenOfficeView::dropEvent(QDropEvent* event)
{
    const QStringList paths = droppedDrawings(event->mimeData());
    if (!IsFileListShown() || paths.isEmpty())
        return;
    event->acceptProposedAction();
    addFiles(paths);
}
