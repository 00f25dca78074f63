// CustomizeDialog: the modeless "Customize" window. Its Toolbars page shows and hides toolbars
// and creates, renames and deletes the user's own (at most ten); its Commands page puts commands
// on a toolbar, by dragging them there or with Add, and removes and orders a toolbar's buttons.
// While it is open, toolbar buttons can be dragged without holding Alt.
#pragma once

#include <QDialog>

class CMainFrame;
class CustomToolBar;
class QComboBox;
class QListWidget;
class QPushButton;

class CustomizeDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CustomizeDialog(CMainFrame& frame);

    // The pages' controls, for keyboard users' tests.
    [[nodiscard]] QListWidget* toolbarList() const { return m_toolbarList; }
    [[nodiscard]] QListWidget* commandList() const { return m_commandList; }
    [[nodiscard]] QListWidget* buttonList() const { return m_buttonList; }
    [[nodiscard]] QComboBox* categoryBox() const { return m_categoryBox; }
    [[nodiscard]] QComboBox* targetBox() const { return m_targetBox; }
    [[nodiscard]] QPushButton* newButton() const { return m_new; }
    [[nodiscard]] QPushButton* addButton() const { return m_add; }
    [[nodiscard]] QPushButton* removeCommandButton() const { return m_remove; }

public slots:
    // Asks for a name and creates a toolbar.
    void newToolbar();
    void renameToolbar();
    void deleteToolbar();
    void resetToolbar();
    void addCommand();
    void removeSelectedButton();
    void addSeparator();
    void moveButton(int step);

private:
    QWidget* makeToolbarsPage();
    QWidget* makeCommandsPage();
    void refreshToolbars();
    void refreshCommands();
    void refreshButtons();
    void updateToolbarButtons();
    [[nodiscard]] CustomToolBar* selectedToolbar() const;
    [[nodiscard]] CustomToolBar* targetToolbar() const;

    CMainFrame& m_frame;
    QListWidget* m_toolbarList = nullptr;
    QPushButton* m_new = nullptr;
    QPushButton* m_rename = nullptr;
    QPushButton* m_delete = nullptr;
    QPushButton* m_reset = nullptr;
    QComboBox* m_categoryBox = nullptr;
    QListWidget* m_commandList = nullptr;
    QComboBox* m_targetBox = nullptr;
    QListWidget* m_buttonList = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_separator = nullptr;
    QPushButton* m_up = nullptr;
    QPushButton* m_down = nullptr;
    bool m_refreshing = false;
};
