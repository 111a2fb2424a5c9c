// The main window's status bar panes that mirror the active view's status
// strip: pane 1 the status text (followed by two blanks), pane 2 the middle
// text (device and rate, or its override), pane 3 the sound format.
#pragma once

#include <QObject>
#include <QPointer>

class CRecStatus;
class QLabel;
class QStatusBar;

class StatusPanes : public QObject {
    Q_OBJECT
public:
    explicit StatusPanes(QStatusBar* bar);

    // Follows `strip` from now on (nullptr: empty panes).
    void follow(CRecStatus* strip);
    QLabel* pane(int n) const { return n == 1 ? m_status : n == 2 ? m_middle : m_format; }

private:
    void refresh();

    QLabel* m_status;
    QLabel* m_middle;
    QLabel* m_format;
    QPointer<CRecStatus> m_strip;
    QMetaObject::Connection m_connection;
};
