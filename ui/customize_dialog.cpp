#include "ui/customize_dialog.h"

#include "ui/commands.h"
#include "ui/custom_toolbar.h"
#include "ui/main_frame.h"
#include "ui/shell_services.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

constexpr int CommandRole = Qt::UserRole;

// The command list hands a dragged command to the toolbars as its id.
class CommandListWidget : public QListWidget
{
public:
    using QListWidget::QListWidget;

protected:
    QStringList mimeTypes() const override
    {
        return {QString::fromLatin1(CustomToolBar::CommandMimeType)};
    }
    QMimeData* mimeData(const QList<QListWidgetItem*>& items) const override
    {
        if (items.isEmpty())
            return nullptr;
        auto* mime = new QMimeData;
        mime->setData(QString::fromLatin1(CustomToolBar::CommandMimeType),
                      QByteArray::number(items.first()->data(CommandRole).toInt()));
        return mime;
    }
};

QString plainLabel(const QAction& action)
{
    return action.iconText();
}

} // namespace

CustomizeDialog::CustomizeDialog(CMainFrame& frame) : QDialog(&frame), m_frame(frame)
{
    setWindowTitle(QStringLiteral("Customize"));
    setObjectName(QStringLiteral("CustomizeDialog"));

    auto* tabs = new QTabWidget(this);
    tabs->addTab(makeToolbarsPage(), QStringLiteral("&Toolbars"));
    tabs->addTab(makeCommandsPage(), QStringLiteral("&Commands"));

    auto* hint = new QLabel(
        QStringLiteral("While this window is open, drag toolbar buttons to move them, or off "
                       "their toolbar to remove them. At other times hold Alt while dragging."),
        this);
    hint->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(hint);
    layout->addWidget(buttons);
    resize(600, 430);

    connect(&m_frame, &CMainFrame::toolbarsChanged, this, [this] {
        refreshToolbars();
        refreshButtons();
    });
    refreshToolbars();
    refreshCommands();
    refreshButtons();
}

QWidget* CustomizeDialog::makeToolbarsPage()
{
    auto* page = new QWidget;
    m_toolbarList = new QListWidget(page);
    m_toolbarList->setObjectName(QStringLiteral("toolbarList"));
    m_new = new QPushButton(QStringLiteral("&New..."), page);
    m_rename = new QPushButton(QStringLiteral("&Rename..."), page);
    m_delete = new QPushButton(QStringLiteral("&Delete"), page);
    m_reset = new QPushButton(QStringLiteral("R&eset"), page);

    auto* side = new QVBoxLayout;
    for (QPushButton* button : {m_new, m_rename, m_delete, m_reset})
        side->addWidget(button);
    side->addStretch();
    auto* layout = new QGridLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("Toolbars:"), page), 0, 0);
    layout->addWidget(m_toolbarList, 1, 0);
    layout->addLayout(side, 1, 1);

    connect(m_new, &QPushButton::clicked, this, &CustomizeDialog::newToolbar);
    connect(m_rename, &QPushButton::clicked, this, &CustomizeDialog::renameToolbar);
    connect(m_delete, &QPushButton::clicked, this, &CustomizeDialog::deleteToolbar);
    connect(m_reset, &QPushButton::clicked, this, &CustomizeDialog::resetToolbar);
    connect(m_toolbarList, &QListWidget::currentRowChanged, this,
            &CustomizeDialog::updateToolbarButtons);
    connect(m_toolbarList, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (m_refreshing)
            return;
        if (CustomToolBar* bar = m_frame.toolbar(item->data(CommandRole).toInt())) {
            bar->setVisible(item->checkState() == Qt::Checked);
            m_frame.saveBarState();
        }
    });
    return page;
}

QWidget* CustomizeDialog::makeCommandsPage()
{
    auto* page = new QWidget;
    m_categoryBox = new QComboBox(page);
    for (const CMainFrame::Category& category : m_frame.commandCategories())
        m_categoryBox->addItem(category.name);
    m_commandList = new CommandListWidget(page);
    m_commandList->setObjectName(QStringLiteral("commandList"));
    m_commandList->setDragEnabled(true);
    m_commandList->setDragDropMode(QAbstractItemView::DragOnly);
    m_targetBox = new QComboBox(page);
    m_buttonList = new QListWidget(page);
    m_buttonList->setObjectName(QStringLiteral("buttonList"));

    m_add = new QPushButton(QStringLiteral("&Add >"), page);
    m_remove = new QPushButton(QStringLiteral("< Re&move"), page);
    m_separator = new QPushButton(QStringLiteral("&Separator"), page);
    m_up = new QPushButton(QStringLiteral("Move &Up"), page);
    m_down = new QPushButton(QStringLiteral("Move Do&wn"), page);
    auto* middle = new QVBoxLayout;
    middle->addStretch();
    for (QPushButton* button : {m_add, m_remove, m_separator, m_up, m_down})
        middle->addWidget(button);
    middle->addStretch();

    auto* layout = new QGridLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("Categories:"), page), 0, 0);
    layout->addWidget(m_categoryBox, 1, 0);
    layout->addWidget(m_commandList, 2, 0);
    layout->addLayout(middle, 2, 1);
    layout->addWidget(new QLabel(QStringLiteral("Toolbar:"), page), 0, 2);
    layout->addWidget(m_targetBox, 1, 2);
    layout->addWidget(m_buttonList, 2, 2);

    connect(m_categoryBox, &QComboBox::currentIndexChanged, this,
            &CustomizeDialog::refreshCommands);
    connect(m_targetBox, &QComboBox::currentIndexChanged, this, &CustomizeDialog::refreshButtons);
    connect(m_add, &QPushButton::clicked, this, &CustomizeDialog::addCommand);
    connect(m_remove, &QPushButton::clicked, this, &CustomizeDialog::removeSelectedButton);
    connect(m_separator, &QPushButton::clicked, this, &CustomizeDialog::addSeparator);
    connect(m_up, &QPushButton::clicked, this, [this] { moveButton(-1); });
    connect(m_down, &QPushButton::clicked, this, [this] { moveButton(1); });
    connect(m_commandList, &QListWidget::itemDoubleClicked, this, &CustomizeDialog::addCommand);
    return page;
}

void CustomizeDialog::refreshToolbars()
{
    m_refreshing = true;
    const int selectedId = selectedToolbar() != nullptr ? selectedToolbar()->id() : 0;
    const int targetId = targetToolbar() != nullptr ? targetToolbar()->id() : 0;
    m_toolbarList->clear();
    m_targetBox->clear();
    for (const CustomToolBar* bar : m_frame.toolbars()) {
        auto* item = new QListWidgetItem(bar->windowTitle(), m_toolbarList);
        item->setData(CommandRole, bar->id());
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(bar->isHidden() ? Qt::Unchecked : Qt::Checked);
        if (bar->id() == selectedId)
            m_toolbarList->setCurrentItem(item);
        m_targetBox->addItem(bar->windowTitle(), bar->id());
    }
    if (m_toolbarList->currentRow() < 0)
        m_toolbarList->setCurrentRow(0);
    const int target = m_targetBox->findData(targetId);
    m_targetBox->setCurrentIndex(target >= 0 ? target : 0);
    m_refreshing = false;
    updateToolbarButtons();
}

void CustomizeDialog::updateToolbarButtons()
{
    const CustomToolBar* bar = selectedToolbar();
    const bool user = bar != nullptr && cmd::isUserToolbar(bar->id());
    m_rename->setEnabled(user);
    m_delete->setEnabled(user);
    m_reset->setEnabled(bar != nullptr && bar->id() == cmd::StandardToolbar);
    int userCount = 0;
    for (const CustomToolBar* each : m_frame.toolbars())
        userCount += cmd::isUserToolbar(each->id()) ? 1 : 0;
    m_new->setEnabled(userCount < cmd::UserToolbarLast - cmd::UserToolbarFirst + 1);
}

void CustomizeDialog::refreshCommands()
{
    m_commandList->clear();
    const QList<CMainFrame::Category> categories = m_frame.commandCategories();
    const int index = m_categoryBox->currentIndex();
    if (index < 0 || index >= categories.size())
        return;
    for (const int id : categories.at(index).commands) {
        const QAction* action = m_frame.commandAction(id);
        auto* item = new QListWidgetItem(action->icon(), plainLabel(*action), m_commandList);
        item->setData(CommandRole, id);
    }
    m_commandList->setCurrentRow(0);
}

void CustomizeDialog::refreshButtons()
{
    if (m_refreshing)
        return;
    const int row = m_buttonList->currentRow();
    m_buttonList->clear();
    const CustomToolBar* bar = targetToolbar();
    if (bar == nullptr)
        return;
    for (const int id : bar->commands()) {
        const QAction* action = m_frame.commandAction(id);
        auto* item = action != nullptr
                         ? new QListWidgetItem(action->icon(), plainLabel(*action), m_buttonList)
                         : new QListWidgetItem(QStringLiteral("———— Separator ————"), m_buttonList);
        item->setData(CommandRole, id);
    }
    m_buttonList->setCurrentRow(std::min(row, m_buttonList->count() - 1));
}

CustomToolBar* CustomizeDialog::selectedToolbar() const
{
    const QListWidgetItem* item = m_toolbarList->currentItem();
    return item != nullptr ? m_frame.toolbar(item->data(CommandRole).toInt()) : nullptr;
}

CustomToolBar* CustomizeDialog::targetToolbar() const
{
    return m_targetBox->currentIndex() >= 0 ? m_frame.toolbar(m_targetBox->currentData().toInt())
                                            : nullptr;
}

void CustomizeDialog::newToolbar()
{
    bool ok = false;
    const QString name =
        QInputDialog::getText(this, QStringLiteral("New Toolbar"), QStringLiteral("Toolbar name:"),
                              QLineEdit::Normal, m_frame.nextToolbarName(), &ok);
    if (!ok)
        return;
    if (const CustomToolBar* bar = m_frame.createUserToolbar(name)) {
        const int row = static_cast<int>(m_frame.toolbars().indexOf(bar));
        m_toolbarList->setCurrentRow(row);
        m_targetBox->setCurrentIndex(row);
    }
}

void CustomizeDialog::renameToolbar()
{
    const CustomToolBar* bar = selectedToolbar();
    if (bar == nullptr || !cmd::isUserToolbar(bar->id()))
        return;
    bool ok = false;
    const QString name = QInputDialog::getText(this, QStringLiteral("Rename Toolbar"),
                                               QStringLiteral("Toolbar name:"), QLineEdit::Normal,
                                               bar->windowTitle(), &ok);
    if (ok)
        m_frame.renameToolbar(bar->id(), name);
}

void CustomizeDialog::deleteToolbar()
{
    const CustomToolBar* bar = selectedToolbar();
    if (bar == nullptr || !cmd::isUserToolbar(bar->id()))
        return;
    const QString question = QStringLiteral("Are you sure you want to delete the toolbar '%1' ?")
                                 .arg(bar->windowTitle());
    if (m_frame.shell().askYesNo(this, question))
        (void)m_frame.deleteUserToolbar(bar->id());
}

void CustomizeDialog::resetToolbar()
{
    if (const CustomToolBar* bar = selectedToolbar())
        m_frame.resetToolbar(bar->id());
}

void CustomizeDialog::addCommand()
{
    CustomToolBar* bar = targetToolbar();
    const QListWidgetItem* item = m_commandList->currentItem();
    if (bar == nullptr || item == nullptr)
        return;
    const int at = m_buttonList->currentRow() < 0 ? static_cast<int>(bar->commands().size())
                                                  : m_buttonList->currentRow() + 1;
    bar->insertCommand(at, item->data(CommandRole).toInt());
    bar->show();
    m_buttonList->setCurrentRow(
        static_cast<int>(bar->commands().indexOf(item->data(CommandRole).toInt())));
}

void CustomizeDialog::addSeparator()
{
    CustomToolBar* bar = targetToolbar();
    if (bar == nullptr)
        return;
    const int at = m_buttonList->currentRow() < 0 ? static_cast<int>(bar->commands().size())
                                                  : m_buttonList->currentRow() + 1;
    bar->insertCommand(at, cmd::Separator);
    m_buttonList->setCurrentRow(at);
}

void CustomizeDialog::removeSelectedButton()
{
    if (CustomToolBar* bar = targetToolbar())
        bar->removeCommandAt(m_buttonList->currentRow());
}

void CustomizeDialog::moveButton(int step)
{
    CustomToolBar* bar = targetToolbar();
    const int row = m_buttonList->currentRow();
    if (bar == nullptr || row < 0)
        return;
    const int to = row + step;
    if (to < 0 || to >= bar->commands().size())
        return;
    bar->moveCommand(row, step > 0 ? to + 1 : to);
    m_buttonList->setCurrentRow(to);
}
