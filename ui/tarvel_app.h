// CTarvelForOpenOfficeApp: the application object. It takes the one-copy-per-machine lock when it
// is made, and its start-up builds the document, the main frame and the view;
// CTarvelForOpenOfficeDoc is the document, which holds no data.
#pragma once

#include "platform/single_instance.h"
#include "ui/commands.h"

#include <QObject>

#include <memory>
#include <string>

class CMainFrame;
class ShellServices;

class CTarvelForOpenOfficeDoc : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
};

class CTarvelForOpenOfficeApp
{
public:
    // The name of the machine-wide lock of the installed program.
    static constexpr const char* DefaultLockName =
        "TarvelForDraw-991327F0-DCC6-8458-9C61-DE9227500087";

    // Takes the lock named lockName at once; it is held for as long as this object lives.
    explicit CTarvelForOpenOfficeApp(ShellServices& shell, std::string lockName = DefaultLockName);
    ~CTarvelForOpenOfficeApp();
    CTarvelForOpenOfficeApp(const CTarvelForOpenOfficeApp&) = delete;
    CTarvelForOpenOfficeApp& operator=(const CTarvelForOpenOfficeApp&) = delete;

    // Start-up: false when the program is to end at once (another copy runs); otherwise the
    // main window is shown, maximised.
    [[nodiscard]] bool initInstance();

    // Help > About: the About box, modally.
    void OnAppAbout();

    [[nodiscard]] CMainFrame* mainFrame() const { return m_frame.get(); }

    int m_nAppLook = cmd::LookDefault; // the current look command, 210 to 218 when valid
    bool m_bHiColorIcons = true;

private:
    ShellServices& m_shell;
    platform::SingleInstanceLock m_instanceLock;
    std::unique_ptr<CTarvelForOpenOfficeDoc> m_doc;
    std::unique_ptr<CMainFrame> m_frame;
};
