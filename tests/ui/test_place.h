// A private place for one test: a temporary directory that holds the settings store and the
// user's data folder, and a single-instance lock name no other test uses.
#pragma once

#include <QTemporaryDir>

#include <string>

class TestPlace
{
public:
    TestPlace();
    ~TestPlace();
    TestPlace(const TestPlace&) = delete;
    TestPlace& operator=(const TestPlace&) = delete;

    [[nodiscard]] bool isValid() const { return m_dir.isValid(); }
    [[nodiscard]] QString path() const { return m_dir.path(); }
    [[nodiscard]] QString filePath(const QString& name) const { return m_dir.filePath(name); }
    [[nodiscard]] const std::string& lockName() const { return m_lockName; }

private:
    QTemporaryDir m_dir;
    std::string m_lockName;
    QByteArray m_oldDataHome;
};
