#include "test_place.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>

TestPlace::TestPlace()
{
    static int serial = 0;
    m_lockName = QStringLiteral("tarvel-ui-test-%1-%2")
                     .arg(QCoreApplication::applicationPid())
                     .arg(++serial)
                     .toStdString();
    m_oldDataHome = qgetenv("XDG_DATA_HOME");
    if (!m_dir.isValid())
        return;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.filePath("config"));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.filePath("config"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath("data")));
}

TestPlace::~TestPlace()
{
    // The lock file lives in the system temp folder, where the lock always puts it.
    QFile::remove(QStringLiteral("/tmp/%1.lock").arg(QString::fromStdString(m_lockName)));
    if (m_oldDataHome.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", m_oldDataHome);
}
