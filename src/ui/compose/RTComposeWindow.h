#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>

class RTComposeLineWidget;
class RTComposeDraft;

// The compose window: a multi-line compose box of its own, opened from the menu, the
// quick-post helper or a link of the program's scheme. What the user writes is kept as a
// draft on disk while the window is open and after it is closed unsent, so it survives a
// crash or a restart; a sent post removes it.
class RTComposeWindow : public QWidget
{
    Q_OBJECT

public:
    // draftFolder: where the draft lives (empty: the application support folder).
    explicit RTComposeWindow(const QString &draftFolder = QString(), QWidget *parent = nullptr);
    ~RTComposeWindow() override;

    // Opens the one compose window (or raises it) and adds what the link carries: a
    // "talvo:" link's text, or a web link to be shortened.
    static RTComposeWindow *showDirectInputWindowForUrl(const QString &url,
                                                        const QString &draftFolder = QString());
    static void closeAllDirectInputWindows();

    [[nodiscard]] RTComposeLineWidget *composeBox() const { return m_box; }
    // Adds what the link carries to the text.
    void takeUrl(const QString &url);
    // Writes the draft now (normally a moment after each change).
    void saveDraft();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void restoreDraft();
    void watchController();

    RTComposeLineWidget *m_box;
    std::unique_ptr<RTComposeDraft> m_draft;
    QTimer m_saveTimer;
    bool m_posted = false;
};
