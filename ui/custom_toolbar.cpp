#include "ui/custom_toolbar.h"

#include "ui/commands.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QToolButton>

#include <algorithm>
#include <optional>
#include <utility>

const char* const CustomToolBar::CommandMimeType = "application/x-tarvel-command";

namespace {

std::optional<int> droppedCommand(const QMimeData* mime)
{
    if (mime == nullptr || !mime->hasFormat(QString::fromLatin1(CustomToolBar::CommandMimeType)))
        return std::nullopt;
    bool ok = false;
    const int command =
        QString::fromLatin1(mime->data(QString::fromLatin1(CustomToolBar::CommandMimeType)))
            .toInt(&ok);
    if (!ok)
        return std::nullopt;
    return command;
}

} // namespace

CustomToolBar::CustomToolBar(int id, const QString& title, CommandLookup lookup, QAction* customize,
                             QWidget* parent)
    : QToolBar(title, parent), m_id(id), m_lookup(std::move(lookup)), m_customize(customize)
{
    setObjectName(QStringLiteral("Toolbar%1").arg(id));
    setAcceptDrops(true);
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    rebuild();
}

void CustomToolBar::setCommands(const QList<int>& commands)
{
    m_commands.clear();
    for (const int command : commands) {
        if (command != cmd::Separator &&
            (m_lookup(command) == nullptr || m_commands.contains(command)))
            continue;
        m_commands.append(command);
    }
    rebuild();
}

void CustomToolBar::insertCommand(int index, int command)
{
    if (command != cmd::Separator && m_lookup(command) == nullptr)
        return;
    const qsizetype existing = command == cmd::Separator ? -1 : m_commands.indexOf(command);
    if (existing >= 0) {
        m_commands.removeAt(existing);
        if (existing < index)
            --index;
    }
    index = std::clamp(index, 0, static_cast<int>(m_commands.size()));
    m_commands.insert(index, command);
    rebuild();
    emit commandsChanged();
}

void CustomToolBar::removeCommandAt(int index)
{
    if (index < 0 || index >= m_commands.size())
        return;
    m_commands.removeAt(index);
    rebuild();
    emit commandsChanged();
}

void CustomToolBar::moveCommand(int from, int to)
{
    if (from < 0 || from >= m_commands.size())
        return;
    const int command = m_commands.takeAt(from);
    if (from < to)
        --to;
    m_commands.insert(std::clamp(to, 0, static_cast<int>(m_commands.size())), command);
    rebuild();
    emit commandsChanged();
}

void CustomToolBar::rebuild()
{
    clear();
    // Separators belong to this toolbar alone; command actions are shared and stay alive.
    for (QAction* entry : std::as_const(m_entries))
        if (entry->isSeparator() && entry->parent() == this)
            entry->deleteLater();
    m_entries.clear();
    for (const int command : std::as_const(m_commands)) {
        QAction* action = command == cmd::Separator ? addSeparator() : m_lookup(command);
        if (command != cmd::Separator)
            addAction(action);
        m_entries.append(action);
        if (QWidget* button = widgetForAction(action))
            button->installEventFilter(this);
    }
    addAction(m_customize);
}

QRect CustomToolBar::entryRect(int index) const
{
    const QWidget* widget = widgetForAction(m_entries.at(index));
    return widget != nullptr ? widget->geometry() : actionGeometry(m_entries.at(index));
}

int CustomToolBar::buttonIndexAt(QPoint pos) const
{
    for (int i = 0; i < m_entries.size(); ++i)
        if (entryRect(i).contains(pos))
            return i;
    return -1;
}

int CustomToolBar::insertionIndexAt(QPoint pos) const
{
    const bool horizontal = orientation() == Qt::Horizontal;
    for (int i = 0; i < m_entries.size(); ++i) {
        const QPoint centre = entryRect(i).center();
        if (horizontal ? pos.x() < centre.x() : pos.y() < centre.y())
            return i;
    }
    return static_cast<int>(m_entries.size());
}

bool CustomToolBar::eventFilter(QObject* watched, QEvent* event)
{
    auto* button = qobject_cast<QWidget*>(watched);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const bool dragKey = m_customizing || mouse->modifiers().testFlag(Qt::AltModifier);
        if (mouse->button() != Qt::LeftButton || !dragKey || button == nullptr)
            break;
        const int index = buttonIndexAt(button->mapTo(this, mouse->position().toPoint()));
        if (index < 0)
            break;
        m_dragSource = button;
        m_dragIndex = index;
        m_dragStart = mouse->globalPosition().toPoint();
        m_dragging = false;
        return true; // the button is not pressed: nothing runs
    }
    case QEvent::MouseMove: {
        if (watched != m_dragSource)
            break;
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (!m_dragging && (mouse->globalPosition().toPoint() - m_dragStart).manhattanLength() >=
                               QApplication::startDragDistance()) {
            m_dragging = true;
            QGuiApplication::setOverrideCursor(Qt::DragMoveCursor);
        }
        return true;
    }
    case QEvent::MouseButtonRelease: {
        if (watched != m_dragSource)
            break;
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const bool dragged = m_dragging;
        const int index = m_dragIndex;
        m_dragSource = nullptr;
        m_dragIndex = -1;
        if (dragged) {
            m_dragging = false;
            QGuiApplication::restoreOverrideCursor();
            // Moving the button rebuilds the toolbar and deletes the widget this event is for,
            // so the move waits until the event has been handled.
            const QPoint globalPos = mouse->globalPosition().toPoint();
            QMetaObject::invokeMethod(
                this, [this, index, globalPos] { emit buttonDragged(index, globalPos); },
                Qt::QueuedConnection);
        }
        return true;
    }
    default:
        break;
    }
    return QToolBar::eventFilter(watched, event);
}

void CustomToolBar::dragEnterEvent(QDragEnterEvent* event)
{
    if (droppedCommand(event->mimeData()))
        event->acceptProposedAction();
}

void CustomToolBar::dragMoveEvent(QDragMoveEvent* event)
{
    if (droppedCommand(event->mimeData()))
        event->acceptProposedAction();
}

void CustomToolBar::dropEvent(QDropEvent* event)
{
    const std::optional<int> command = droppedCommand(event->mimeData());
    if (!command)
        return;
    insertCommand(insertionIndexAt(event->position().toPoint()), *command);
    event->acceptProposedAction();
}
