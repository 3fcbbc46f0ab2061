#pragma once

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

class RTMainWindow;
class RTTreeNode;

// A scripted run of the real window against a live service, for the end-to-end test:
// the first account's Home fills, a reload brings a message that was not there before,
// and marking all seen clears the Home badge. Prints one line per step on standard
// output and finishes with whether every step passed.
class RTWindowCheck : public QObject
{
    Q_OBJECT
public:
    RTWindowCheck(RTMainWindow &window, int timeoutMs, QObject *parent = nullptr);
    void start();

signals:
    void finished(bool ok);

private:
    void waitForHome();
    void waitForNewMessage();
    void markAllSeen();
    void fail(const QString &why);
    void report(const QString &line);
    [[nodiscard]] QSet<QString> homeIds() const;
    [[nodiscard]] int homeBadge() const;

    RTMainWindow &m_window;
    int m_timeoutMs;
    qint64 m_stepDeadline = 0;
    QPointer<RTTreeNode> m_home;
    QSet<QString> m_before;
    int m_reloads = 0;
    qint64 m_nextReload = 0;
};
