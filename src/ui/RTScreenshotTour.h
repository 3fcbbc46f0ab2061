#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

class RTMainWindow;
class RTPreferencesWindow;
class QWidget;

// Walks the main window through what the README shows and saves a PNG of each step:
// the window in light and dark, the outline with its counts, a conversation opened
// under its message, the error list, the helper's compose window, a search's results, a picture
// link's thumbnail and the picture viewer, the running mutes and highlights after one author is
// muted and another highlighted from the message menu, every preference pane, the add-account
// sheet, the About window and the welcome view. Waits for messages to arrive first.
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
    void takeConversation();
    void takeErrors();
    void waitForSearch();
    void takeSearch();
    void takeDark();
    void muteForFilters();
    void takeFilters();
    void takePictures();
    void takePreferences();
    // Each preference pane, the add-account sheet, the About window and the welcome view.
    void takePane();
    // The Accounts pane and the window's line while an account needs a log-in.
    void takeLogInNeeded();
    void takeAccountSheet();
    void takeAboutAndWelcome();
    bool save(QWidget *widget, const QString &name);

    RTMainWindow &m_window;
    QString m_folder;
    QStringList m_written;
    bool m_ok = true;
    int m_pictureRow = -1;
    qint64 m_deadline = 0;
    QPointer<RTPreferencesWindow> m_preferences;
    int m_paneIndex = 0;
    qint64 m_searchDeadline = 0;
};
