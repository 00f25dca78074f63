// CustomToolBar: a toolbar whose buttons are a list of command ids the user can change. Each
// toolbar ends with the "Customize..." button. A button dragged with Alt held (or with any drag
// while the customise dialog is open) is handed to the frame, which moves or removes it; a
// command dragged from the customise dialog can be dropped on the toolbar.
#pragma once

#include <QList>
#include <QPoint>
#include <QPointer>
#include <QToolBar>

#include <functional>

class QToolButton;

class CustomToolBar : public QToolBar
{
    Q_OBJECT

public:
    // Finds the action of a command id; null for an unknown id.
    using CommandLookup = std::function<QAction*(int)>;

    CustomToolBar(int id, const QString& title, CommandLookup lookup, QAction* customize,
                  QWidget* parent = nullptr);

    [[nodiscard]] int id() const { return m_id; }
    [[nodiscard]] const QList<int>& commands() const { return m_commands; }

    // Replaces the buttons; unknown ids are dropped, and a command appears at most once.
    void setCommands(const QList<int>& commands);
    // Puts a command at index (clamped to the ends); moves it there when it is already on.
    void insertCommand(int index, int command);
    void removeCommandAt(int index);
    // Moves the entry at from so that it lands before the entry now at to (to may be the end).
    void moveCommand(int from, int to);

    // The index of the button under pos (toolbar coordinates), or -1.
    [[nodiscard]] int buttonIndexAt(QPoint pos) const;
    // Where a button dropped at pos (toolbar coordinates) goes.
    [[nodiscard]] int insertionIndexAt(QPoint pos) const;

    // While customising, a plain drag moves buttons and clicks run nothing.
    void setCustomizing(bool on) { m_customizing = on; }

    // The mime type of a command id dragged from the customise dialog.
    static const char* const CommandMimeType;

signals:
    // The user changed the buttons.
    void commandsChanged();
    // A button was dragged (Alt held) from index and let go at globalPos.
    void buttonDragged(int index, QPoint globalPos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void rebuild();
    [[nodiscard]] QRect entryRect(int index) const;

    int m_id;
    CommandLookup m_lookup;
    QAction* m_customize;
    QList<int> m_commands;
    QList<QAction*> m_entries; // the action on the toolbar for each entry of m_commands
    bool m_customizing = false;

    // A button drag in progress.
    QPointer<QWidget> m_dragSource;
    int m_dragIndex = -1;
    QPoint m_dragStart;
    bool m_dragging = false;
};
