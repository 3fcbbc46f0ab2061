#pragma once

#include <QObject>
#include <QStringList>

class RTMainWindow;

// Walks the main window through what the README shows and saves a PNG of each step:
// the window in light and dark, the outline with its counts, a conversation opened
// under its message, the error list and the Shortcuts preference pane. Waits for messages to arrive
// first.
class RTScreenshotTour : public QObject
{
    Q_OBJECT
public:
    RTScreenshotTour(RTMainWindow &window, QString folder, QObject *parent = nullptr);

    // waitMs: how long to wait for the list to fill before taking the pictures anyway.
    void start(int waitMs);
    [[nodiscard]] QStringList written() const { return m_written; }

signals:
    // ok: every picture was written.
    void finished(bool ok);

private:
    void waitForMessages();
    void takeMain();
    void takeShortcuts();
    void takeConversation();
    void takeErrors();
    void takeDark();
    bool save(QWidget *widget, const QString &name);

    RTMainWindow &m_window;
    QString m_folder;
    QStringList m_written;
    bool m_ok = true;
    qint64 m_deadline = 0;
};
