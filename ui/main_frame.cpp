#include "ui/main_frame.h"

#include "ui/app_looks.h"
#include "ui/commands.h"
#include "ui/custom_toolbar.h"
#include "ui/customize_dialog.h"
#include "ui/lock_key_indicators.h"
#include "ui/pictures.h"
#include "ui/product_page.h"
#include "ui/shell_services.h"
#include "ui/tarvel_app.h"
#include "ui/tarvel_view.h"
#include "ui/ui_texts.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>
#include <QUrl>

#include <algorithm>
#include <optional>

QString g_strAppDirectory;

namespace {

// One command: its menu label, its text on a toolbar button, its status-bar prompt and tooltip.
struct CommandText
{
    int id;
    QLatin1String label;
    const char* buttonText;
    QLatin1String prompt;
    QLatin1String tip;
    std::optional<pictures::Command> image;
};

const QLatin1String None{""};

const CommandText Commands[] = {
    {cmd::FileSelect, uitext::LabelSelectFiles, "Select Files", uitext::PromptSelectFiles,
     uitext::TipSelectFiles, pictures::Command::SelectFiles},
    {cmd::FileRemove, uitext::LabelRemoveFiles, "Remove Files", uitext::PromptRemoveFiles,
     uitext::TipRemoveFiles, pictures::Command::RemoveFiles},
    {cmd::FileRepair, uitext::LabelRepair, "Repair", uitext::PromptRepair, uitext::TipRepair,
     pictures::Command::Repair},
    {cmd::AppExit, uitext::LabelExit, "Exit", uitext::PromptExit, uitext::TipExit,
     pictures::Command::Exit},
    {cmd::ViewStatusBar, uitext::LabelStatusBar, "Status Bar", uitext::PromptStatusBar,
     uitext::TipStatusBar, std::nullopt},
    {cmd::ViewCustomize, uitext::Customize, "Customize...", None, uitext::Customize,
     pictures::Command::Customize},
    {cmd::HelpSoftware, uitext::LabelSoftwareHelp, "Software Help", uitext::PromptSoftwareHelp,
     None, pictures::Command::Help},
    {cmd::HelpHomepage, uitext::LabelHomepage, "Visit Software Homepage", None, None,
     pictures::Command::Homepage},
    {cmd::AppAbout, uitext::LabelAbout, "About", uitext::PromptAbout, uitext::TipAbout,
     pictures::Command::About},
    {cmd::LookWindows2000, uitext::LabelWindows2000, "Windows 2000", None, None, std::nullopt},
    {cmd::LookOfficeXp, uitext::LabelOfficeXp, "Office XP", None, None, std::nullopt},
    {cmd::LookWindowsXp, uitext::LabelWindowsXp, "Windows XP", None, None, std::nullopt},
    {cmd::LookOffice2003, uitext::LabelOffice2003, "Office 2003", None, None, std::nullopt},
    {cmd::LookVs2005, uitext::LabelVs2005, "Visual Studio.NET 2005", None, None, std::nullopt},
    {cmd::LookBlue, uitext::LabelBlue, "Blue Style", None, None, std::nullopt},
    {cmd::LookBlack, uitext::LabelBlack, "Black Style", None, None, std::nullopt},
    {cmd::LookSilver, uitext::LabelSilver, "Silver Style", None, None, std::nullopt},
    {cmd::LookAqua, uitext::LabelAqua, "Aqua Style", None, None, std::nullopt},
};

// The keys of the File commands are the ones their menu labels name.
const QHash<int, QKeySequence> CommandKeys{
    {cmd::FileSelect, QKeySequence(Qt::CTRL | Qt::Key_O)},
    {cmd::FileRemove, QKeySequence(Qt::CTRL | Qt::Key_D)},
    {cmd::FileRepair, QKeySequence(Qt::CTRL | Qt::Key_R)},
};

const QList<int> StandardButtons{cmd::FileSelect, cmd::FileRemove, cmd::FileRepair, cmd::Separator,
                                 cmd::AppAbout};

// Settings of the bars, in the settings' workspace group.
const QString WorkspaceGroup = QStringLiteral("Workspace");
const QString KeyUserToolbars = QStringLiteral("UserToolbars");
const QString KeyLayout = QStringLiteral("Layout");
const QString KeyStatusBar = QStringLiteral("StatusBar");
const QString KeyName = QStringLiteral("Name");
const QString KeyButtons = QStringLiteral("Buttons");
constexpr int LayoutVersion = 1;

QString toolbarGroup(int id)
{
    return QStringLiteral("Toolbar-%1").arg(id);
}

QString encodeButtons(const QList<int>& commands)
{
    QStringList parts;
    for (const int command : commands)
        parts.append(QString::number(command));
    return parts.join(QLatin1Char(','));
}

// Stored buttons are checked one by one: what is not a number is skipped.
QList<int> decodeButtons(const QString& text)
{
    QList<int> commands;
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int command = part.trimmed().toInt(&ok);
        if (ok)
            commands.append(command);
    }
    return commands;
}

QSettings userSettings()
{
    return QSettings(QString(uitext::SettingsOrganisation), QString(uitext::SettingsApplication));
}

} // namespace

CMainFrame::CMainFrame(CTarvelForOpenOfficeApp& app, ShellServices& shell, QWidget* parent)
    : QMainWindow(parent), m_app(app), m_shell(shell), m_officeScheme(cmd::LookDefault)
{
    {
        QSettings settings = userSettings();
        bool ok = false;
        const int stored =
            settings.value(QString(uitext::SettingApplicationLook), cmd::LookDefault).toInt(&ok);
        m_app.m_nAppLook = ok ? stored : cmd::LookDefault; // not a number: as if none stored
    }

    setWindowTitle(QString(uitext::Caption));
    setWindowIcon(pictures::appIcon());
    setObjectName(QStringLiteral("MainFrame"));

    m_view = new CTarvelForOpenOfficeView(m_shell, this);
    setCentralWidget(m_view);

    createActions();
    OnApplicationLook(m_app.m_nAppLook);
    createMenus();
    addCustomToolBar(cmd::StandardToolbar, QString(uitext::ToolbarStandard), StandardButtons);
    createStatusBar();
    setDockOptions(dockOptions() | QMainWindow::AllowNestedDocks | QMainWindow::AllowTabbedDocks);
    loadBarState();

    connect(m_view, &CTarvelForOpenOfficeView::commandStateChanged, this,
            &CMainFrame::updateCommandUI);
    updateCommandUI();

    QString directory = QDir::toNativeSeparators(QDir::currentPath());
    if (!directory.endsWith(QDir::separator()))
        directory += QDir::separator();
    g_strAppDirectory = directory;
}

CMainFrame::~CMainFrame()
{
    // The dialog is a child; it goes first, while the frame it reports to is still whole.
    if (m_customizeDialog != nullptr) {
        disconnect(m_customizeDialog, nullptr, this, nullptr);
        delete m_customizeDialog;
    }
}

void CMainFrame::createActions()
{
    for (const CommandText& command : Commands) {
        auto* action = new QAction(QString(command.label), this);
        action->setObjectName(QStringLiteral("command%1").arg(command.id));
        action->setData(command.id);
        action->setIconText(QString::fromLatin1(command.buttonText));
        action->setStatusTip(QString(command.prompt));
        action->setToolTip(command.tip.isEmpty() ? action->iconText() : QString(command.tip));
        if (command.image)
            action->setIcon(pictures::commandIcon(*command.image));
        if (CommandKeys.contains(command.id))
            action->setShortcut(CommandKeys.value(command.id));
        // On the frame itself, so that the keys work whatever the user does with the bars.
        addAction(action);
        m_actions.insert(command.id, action);
    }

    connect(commandAction(cmd::FileSelect), &QAction::triggered, m_view,
            &CTarvelForOpenOfficeView::OnSelectFiles);
    connect(commandAction(cmd::FileRemove), &QAction::triggered, m_view,
            &CTarvelForOpenOfficeView::OnRemoveFiles);
    connect(commandAction(cmd::FileRepair), &QAction::triggered, m_view,
            &CTarvelForOpenOfficeView::OnNext);
    connect(commandAction(cmd::AppExit), &QAction::triggered, this, &QWidget::close);
    connect(commandAction(cmd::AppAbout), &QAction::triggered, this,
            [this] { m_app.OnAppAbout(); });
    connect(commandAction(cmd::HelpSoftware), &QAction::triggered, this, &CMainFrame::OnHelpFinder);
    connect(commandAction(cmd::HelpHomepage), &QAction::triggered, this,
            &CMainFrame::OnHelpHomepage);
    connect(commandAction(cmd::ViewCustomize), &QAction::triggered, this,
            [this] { (void)OnViewCustomize(); });

    QAction* statusBarAction = commandAction(cmd::ViewStatusBar);
    statusBarAction->setCheckable(true);
    statusBarAction->setChecked(true);
    connect(statusBarAction, &QAction::triggered, this, [this](bool shown) {
        statusBar()->setVisible(shown);
        saveBarState();
    });

    m_lookGroup = new QActionGroup(this);
    m_lookGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (int id = cmd::LookFirst; id <= cmd::LookLast; ++id) {
        QAction* look = commandAction(id);
        look->setCheckable(true);
        m_lookGroup->addAction(look);
        connect(look, &QAction::triggered, this, [this, id] { OnApplicationLook(id); });
    }

    // Keys without a menu item: print the view, and F1 for help.
    auto* print = new QAction(this);
    print->setObjectName(QStringLiteral("command%1").arg(cmd::FilePrint));
    print->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    connect(print, &QAction::triggered, m_view, &CTarvelForOpenOfficeView::OnFilePrint);
    addAction(print);
    m_actions.insert(cmd::FilePrint, print);

    auto* help = new QAction(this);
    help->setObjectName(QStringLiteral("helpKey"));
    help->setShortcut(QKeySequence(Qt::Key_F1));
    connect(help, &QAction::triggered, this, &CMainFrame::OnHelpFinder);
    addAction(help);
}

void CMainFrame::createMenus()
{
    QMenu* file = menuBar()->addMenu(QString(uitext::MenuFile));
    file->addAction(commandAction(cmd::FileSelect));
    file->addAction(commandAction(cmd::FileRemove));
    file->addAction(commandAction(cmd::FileRepair));
    file->addSeparator();
    file->addAction(commandAction(cmd::AppExit));
    connect(file, &QMenu::aboutToShow, this, &CMainFrame::updateCommandUI);

    QMenu* view = menuBar()->addMenu(QString(uitext::MenuView));
    m_toolbarsMenu = view->addMenu(QString(uitext::MenuToolbars));
    connect(m_toolbarsMenu, &QMenu::aboutToShow, this,
            [this] { fillToolbarsMenu(*m_toolbarsMenu); });
    fillToolbarsMenu(*m_toolbarsMenu);
    view->addAction(commandAction(cmd::ViewStatusBar));
    QMenu* look = view->addMenu(QString(uitext::MenuLook));
    for (int id = cmd::LookFirst; id < cmd::LookBlue; ++id)
        look->addAction(commandAction(id));
    QMenu* office2007 = look->addMenu(QString(uitext::MenuOffice2007));
    for (int id = cmd::LookBlue; id <= cmd::LookLast; ++id)
        office2007->addAction(commandAction(id));

    QMenu* help = menuBar()->addMenu(QString(uitext::MenuHelp));
    help->addAction(commandAction(cmd::HelpSoftware));
    help->addAction(commandAction(cmd::HelpHomepage));
    help->addAction(commandAction(cmd::AppAbout));
}

void CMainFrame::createStatusBar()
{
    // The prompt pane shows "Ready"; the prompts of menu items and buttons cover it while the
    // mouse is over them.
    m_promptPane = new QLabel(QString(uitext::Ready));
    m_promptPane->setObjectName(QStringLiteral("promptPane"));
    statusBar()->addWidget(m_promptPane, 1);
    m_indicators = new LockKeyIndicators(*statusBar());
}

QList<CMainFrame::Category> CMainFrame::commandCategories() const
{
    QList<Category> categories{
        {QStringLiteral("File"), {cmd::FileSelect, cmd::FileRemove, cmd::FileRepair, cmd::AppExit}},
        {QStringLiteral("View"), {cmd::ViewStatusBar, cmd::ViewCustomize}},
        {QStringLiteral("Application Look"), {}},
        {QStringLiteral("Help"), {cmd::HelpSoftware, cmd::HelpHomepage, cmd::AppAbout}},
    };
    for (int id = cmd::LookFirst; id <= cmd::LookLast; ++id)
        categories[2].commands.append(id);
    Category all{QStringLiteral("All Commands"), {}};
    for (const Category& category : std::as_const(categories))
        all.commands.append(category.commands);
    categories.append(all);
    return categories;
}

CustomToolBar* CMainFrame::addCustomToolBar(int id, const QString& name, const QList<int>& commands)
{
    auto* bar = new CustomToolBar(
        id, name, [this](int command) { return commandAction(command); },
        commandAction(cmd::ViewCustomize), this);
    bar->setCommands(commands);
    bar->setCustomizing(m_customizeDialog != nullptr);
    addToolBar(Qt::TopToolBarArea, bar);
    connect(bar, &CustomToolBar::commandsChanged, this, [this] {
        saveBarState();
        emit toolbarsChanged();
    });
    connect(bar, &CustomToolBar::buttonDragged, this,
            [this, bar](int index, QPoint globalPos) { moveDraggedButton(bar, index, globalPos); });
    connect(bar->toggleViewAction(), &QAction::triggered, this, [this] {
        saveBarState();
        emit toolbarsChanged();
    });
    return bar;
}

QList<CustomToolBar*> CMainFrame::toolbars() const
{
    QList<CustomToolBar*> bars = findChildren<CustomToolBar*>(Qt::FindDirectChildrenOnly);
    std::sort(bars.begin(), bars.end(),
              [](const CustomToolBar* a, const CustomToolBar* b) { return a->id() < b->id(); });
    return bars;
}

CustomToolBar* CMainFrame::toolbar(int id) const
{
    for (CustomToolBar* bar : toolbars())
        if (bar->id() == id)
            return bar;
    return nullptr;
}

QString CMainFrame::nextToolbarName() const
{
    for (int n = 1;; ++n) {
        const QString name = QStringLiteral("Custom %1").arg(n);
        const QList<CustomToolBar*> bars = toolbars();
        if (std::none_of(bars.begin(), bars.end(),
                         [&name](const CustomToolBar* bar) { return bar->windowTitle() == name; }))
            return name;
    }
}

CustomToolBar* CMainFrame::createUserToolbar(const QString& name)
{
    for (int id = cmd::UserToolbarFirst; id <= cmd::UserToolbarLast; ++id) {
        if (toolbar(id) != nullptr)
            continue;
        CustomToolBar* bar =
            addCustomToolBar(id, name.trimmed().isEmpty() ? nextToolbarName() : name, {});
        bar->show();
        saveBarState();
        emit toolbarsChanged();
        return bar;
    }
    return nullptr;
}

bool CMainFrame::deleteUserToolbar(int id)
{
    CustomToolBar* bar = cmd::isUserToolbar(id) ? toolbar(id) : nullptr;
    if (bar == nullptr)
        return false;
    removeToolBar(bar);
    bar->setParent(nullptr);
    bar->deleteLater();
    saveBarState();
    emit toolbarsChanged();
    return true;
}

void CMainFrame::renameToolbar(int id, const QString& name)
{
    CustomToolBar* bar = toolbar(id);
    if (bar == nullptr || name.trimmed().isEmpty())
        return;
    bar->setWindowTitle(name.trimmed());
    saveBarState();
    emit toolbarsChanged();
}

void CMainFrame::resetToolbar(int id)
{
    CustomToolBar* bar = toolbar(id);
    if (bar == nullptr)
        return;
    bar->setCommands(id == cmd::StandardToolbar ? StandardButtons : QList<int>{});
    saveBarState();
    emit toolbarsChanged();
}

void CMainFrame::saveBarState()
{
    QSettings settings = userSettings();
    settings.beginGroup(WorkspaceGroup);
    settings.remove(QString()); // drops the groups of deleted toolbars
    QStringList userIds;
    for (const CustomToolBar* bar : toolbars()) {
        if (cmd::isUserToolbar(bar->id()))
            userIds.append(QString::number(bar->id()));
        settings.beginGroup(toolbarGroup(bar->id()));
        settings.setValue(KeyName, bar->windowTitle());
        settings.setValue(KeyButtons, encodeButtons(bar->commands()));
        settings.endGroup();
    }
    settings.setValue(KeyUserToolbars, userIds.join(QLatin1Char(',')));
    settings.setValue(KeyLayout, saveState(LayoutVersion));
    settings.setValue(KeyStatusBar, !statusBar()->isHidden());
    settings.endGroup();
}

void CMainFrame::loadBarState()
{
    QSettings settings = userSettings();
    settings.beginGroup(WorkspaceGroup);
    for (const int id : decodeButtons(settings.value(KeyUserToolbars).toString())) {
        if (!cmd::isUserToolbar(id) || toolbar(id) != nullptr)
            continue;
        settings.beginGroup(toolbarGroup(id));
        const QString name = settings.value(KeyName).toString().trimmed();
        const QList<int> buttons = decodeButtons(settings.value(KeyButtons).toString());
        settings.endGroup();
        addCustomToolBar(id, name.isEmpty() ? nextToolbarName() : name, buttons);
    }
    const QString standard = toolbarGroup(cmd::StandardToolbar) + QLatin1Char('/') + KeyButtons;
    if (settings.contains(standard))
        toolbar(cmd::StandardToolbar)
            ->setCommands(decodeButtons(settings.value(standard).toString()));
    (void)restoreState(settings.value(KeyLayout).toByteArray(), LayoutVersion); // none: defaults
    const bool statusShown = settings.value(KeyStatusBar, true).toBool();
    statusBar()->setVisible(statusShown);
    commandAction(cmd::ViewStatusBar)->setChecked(statusShown);
    settings.endGroup();
}

void CMainFrame::fillToolbarsMenu(QMenu& menu)
{
    menu.clear();
    for (CustomToolBar* bar : toolbars())
        menu.addAction(bar->toggleViewAction());
    menu.addSeparator();
    menu.addAction(commandAction(cmd::ViewCustomize));
}

QMenu* CMainFrame::createPopupMenu()
{
    auto* menu = new QMenu(this);
    fillToolbarsMenu(*menu);
    return menu;
}

void CMainFrame::moveDraggedButton(CustomToolBar* source, int index, QPoint globalPos)
{
    if (index < 0 || index >= source->commands().size())
        return;
    CustomToolBar* target = nullptr;
    for (CustomToolBar* bar : toolbars()) {
        if (bar->isVisible() && bar->rect().contains(bar->mapFromGlobal(globalPos))) {
            target = bar;
            break;
        }
    }
    const int command = source->commands().at(index);
    if (target == nullptr) {
        source->removeCommandAt(index); // dragged off every toolbar: the button goes
        return;
    }
    const int to = target->insertionIndexAt(target->mapFromGlobal(globalPos));
    if (target == source) {
        source->moveCommand(index, to);
        return;
    }
    source->removeCommandAt(index);
    target->insertCommand(to, command);
}

void CMainFrame::OnApplicationLook(int id)
{
    m_app.m_nAppLook = id;
    if (id >= cmd::LookBlue && id <= cmd::LookLast)
        m_officeScheme = id;
    looks::applyLook(*this, looks::lookFor(id, m_officeScheme));
    updateLookMarks();
    QSettings settings = userSettings();
    settings.setValue(QString(uitext::SettingApplicationLook), id);
}

void CMainFrame::updateLookMarks()
{
    for (int id = cmd::LookFirst; id <= cmd::LookLast; ++id)
        commandAction(id)->setChecked(id == m_app.m_nAppLook);
}

void CMainFrame::updateCommandUI()
{
    const bool onSelectionPage = m_view->IsFileListShown();
    for (const int id : {cmd::FileSelect, cmd::FileRemove, cmd::FileRepair})
        commandAction(id)->setEnabled(onSelectionPage);
}

void CMainFrame::OnHelpFinder()
{
    const QString path = g_strAppDirectory + QString(uitext::HelpFileName);
    if (!QFileInfo(path).isFile()) {
        m_shell.showMessage(this, QString(uitext::HelpMissing));
        return;
    }
    // Few desktops outside Windows have a viewer for compiled help; the HTML copy beside it
    // opens in any browser.
    const QString html = g_strAppDirectory + QString(uitext::HelpHtmlFileName);
    if (!m_shell.hasDefaultApplication(path) && QFileInfo(html).isFile())
        m_shell.openUrl(QUrl::fromLocalFile(html));
    else
        m_shell.openUrl(QUrl::fromLocalFile(path));
}

void CMainFrame::OnHelpHomepage()
{
    m_shell.openUrl(productPageUrl());
}

CustomizeDialog* CMainFrame::OnViewCustomize()
{
    if (m_customizeDialog == nullptr) {
        m_customizeDialog = new CustomizeDialog(*this);
        m_customizeDialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_customizeDialog, &QObject::destroyed, this, &CMainFrame::endCustomizing);
        for (CustomToolBar* bar : toolbars())
            bar->setCustomizing(true);
        m_customizeDialog->show();
    }
    m_customizeDialog->raise();
    m_customizeDialog->activateWindow();
    return m_customizeDialog;
}

void CMainFrame::endCustomizing()
{
    for (CustomToolBar* bar : toolbars())
        bar->setCustomizing(false);
    saveBarState();
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (m_view != nullptr && m_view->OnQueryBusy()) {
        m_shell.showMessage(this, QString(uitext::StopFirst));
        event->ignore();
        return;
    }
    if (!m_shell.askYesNo(this, QString(uitext::ConfirmClose))) {
        event->ignore();
        return;
    }
    m_shell.openUrl(productPageUrl());
    if (m_customizeDialog != nullptr)
        m_customizeDialog->close();
    saveBarState();
    event->accept();
}
