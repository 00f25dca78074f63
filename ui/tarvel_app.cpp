#include "ui/tarvel_app.h"

#include "ui/about_dlg.h"
#include "ui/main_frame.h"
#include "ui/shell_services.h"
#include "ui/ui_texts.h"

#include <QApplication>
#include <QScreen>

CTarvelForOpenOfficeApp::CTarvelForOpenOfficeApp(ShellServices& shell, std::string lockName)
    : m_shell(shell), m_instanceLock(lockName)
{
}

CTarvelForOpenOfficeApp::~CTarvelForOpenOfficeApp() = default;

bool CTarvelForOpenOfficeApp::initInstance()
{
    QCoreApplication::setOrganizationName(QString(uitext::SettingsOrganisation));
    QCoreApplication::setApplicationName(QString(uitext::SettingsApplication));

    // A lock that could not be taken for another reason (no temp folder) does not stop the
    // program: only a running copy does.
    if (m_instanceLock.AlreadyRunning()) {
        m_shell.showMessage(nullptr, QString(uitext::AnotherInstance));
        return false;
    }

    m_doc = std::make_unique<CTarvelForOpenOfficeDoc>();
    m_frame = std::make_unique<CMainFrame>(*this, m_shell);
    // The window manager maximises the window; without one it still fills the screen.
    if (const QScreen* screen = m_frame->screen())
        m_frame->setGeometry(screen->availableGeometry());
    m_frame->showMaximized();
    m_frame->update();
    return true;
}

void CTarvelForOpenOfficeApp::OnAppAbout()
{
    CAboutDlg about(m_shell, m_frame.get());
    (void)about.exec(); // the result is of no interest
}
