// The CAP, NUM and SCRL panes of the status bar: each shows its text while its lock key is on.
// On X11 the state is read from the keyboard; elsewhere it follows the lock keys pressed while
// the program has the focus.
#pragma once

#include <QObject>

class QLabel;
class QStatusBar;

class LockKeyIndicators : public QObject
{
    Q_OBJECT

public:
    explicit LockKeyIndicators(QStatusBar& bar);
    ~LockKeyIndicators() override;

    [[nodiscard]] bool capsLock() const { return m_caps; }
    [[nodiscard]] bool numLock() const { return m_num; }
    [[nodiscard]] bool scrollLock() const { return m_scroll; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void readSystemState();
    void show();

    QLabel* m_capsPane = nullptr;
    QLabel* m_numPane = nullptr;
    QLabel* m_scrollPane = nullptr;
    bool m_caps = false;
    bool m_num = false;
    bool m_scroll = false;
    bool m_systemState = false; // the state can be read from the system
};
