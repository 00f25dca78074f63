// CMainFrame: the main window. It owns the menu bar, the toolbars (the "Standard" one and up to
// ten the user creates), the status bar and the view, and handles the program-wide commands:
// application look, help, product page, toolbar customisation and the close question.
#pragma once

#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QPointer>

class CTarvelForOpenOfficeApp;
class CTarvelForOpenOfficeView;
class CustomToolBar;
class CustomizeDialog;
class LockKeyIndicators;
class QActionGroup;
class QLabel;
class ShellServices;

// The current directory when the main frame was created, ending with a separator: where Help
// looks for its file. Written once, by the interface thread, while the frame is built.
extern QString g_strAppDirectory;

class CMainFrame : public QMainWindow
{
    Q_OBJECT

public:
    CMainFrame(CTarvelForOpenOfficeApp& app, ShellServices& shell, QWidget* parent = nullptr);
    ~CMainFrame() override;

    [[nodiscard]] CTarvelForOpenOfficeView* view() const { return m_view; }
    // The action of a command id, or null.
    [[nodiscard]] QAction* commandAction(int id) const { return m_actions.value(id); }
    [[nodiscard]] LockKeyIndicators* indicators() const { return m_indicators; }
    [[nodiscard]] QLabel* promptPane() const { return m_promptPane; }
    [[nodiscard]] ShellServices& shell() const { return m_shell; }

    // Commands a user may put on toolbars, by menu.
    struct Category
    {
        QString name;
        QList<int> commands;
    };
    [[nodiscard]] QList<Category> commandCategories() const;

    // The toolbars: "Standard" first, then the user's in id order.
    [[nodiscard]] QList<CustomToolBar*> toolbars() const;
    [[nodiscard]] CustomToolBar* toolbar(int id) const;
    // Creates an empty user toolbar; null when all ten exist.
    CustomToolBar* createUserToolbar(const QString& name);
    bool deleteUserToolbar(int id);
    void renameToolbar(int id, const QString& name);
    // The "Standard" toolbar gets its five buttons back; a user toolbar becomes empty.
    void resetToolbar(int id);
    // A free name for a new toolbar: "Custom 1", "Custom 2", ...
    [[nodiscard]] QString nextToolbarName() const;
    // Writes the toolbars, their layout and the status bar's visibility to the settings.
    void saveBarState();

    // Command handlers.
    void OnApplicationLook(int id);
    void OnHelpFinder();
    void OnHelpHomepage();
    // Opens the customise dialog, or brings it to the front; it is modeless.
    CustomizeDialog* OnViewCustomize();

    // Enables the view's commands for its current page.
    void updateCommandUI();

    // The pane menu of a right click on a bar: every toolbar, then "Customize...".
    QMenu* createPopupMenu() override;

signals:
    // A toolbar was created, deleted or renamed, or its buttons changed.
    void toolbarsChanged();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createActions();
    void createMenus();
    void createStatusBar();
    CustomToolBar* addCustomToolBar(int id, const QString& name, const QList<int>& commands);
    void loadBarState();
    void fillToolbarsMenu(QMenu& menu);
    void updateLookMarks();
    void moveDraggedButton(CustomToolBar* source, int index, QPoint globalPos);
    void endCustomizing();

    CTarvelForOpenOfficeApp& m_app;
    ShellServices& m_shell;
    CTarvelForOpenOfficeView* m_view = nullptr;
    QHash<int, QAction*> m_actions;
    QActionGroup* m_lookGroup = nullptr;
    QMenu* m_toolbarsMenu = nullptr;
    QLabel* m_promptPane = nullptr;
    LockKeyIndicators* m_indicators = nullptr;
    QPointer<CustomizeDialog> m_customizeDialog;
    int m_officeScheme; // the Office 2007 colour scheme applied last
};
