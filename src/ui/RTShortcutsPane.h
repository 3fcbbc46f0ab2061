#pragma once

#include <QWidget>
#include <functional>

class QLabel;
class RTHotKeyRecorder;

// What the Shortcuts pane needs of the program: storing and announcing a new combination,
// and asking whether the hot key works now (empty when it does or none is set).
struct RTShortcutsPaneHooks
{
    std::function<void(int keyCode, quint32 flags)> changeNewPostHotKey;
    std::function<QString()> newPostHotKeyProblem;
    std::function<void(int keyCode, quint32 flags)> changeShowHideHotKey;
    std::function<QString()> showHideHotKeyProblem;
};

// The "Shortcuts" preference pane: the new-post hot key that the quick-post helper owns,
// and the hot key that shows or hides Talvo's window. Each says plainly when it cannot
// work: another program holds the combination, the helper is not running, or the desktop
// has no global hot keys at all.
class RTShortcutsPane : public QWidget
{
    Q_OBJECT

public:
    static constexpr const char *paneId = "shortcuts";

    explicit RTShortcutsPane(RTShortcutsPaneHooks hooks, QWidget *parent = nullptr);

    [[nodiscard]] RTHotKeyRecorder *newPostRecorder() const { return m_newPost; }
    [[nodiscard]] RTHotKeyRecorder *showHideRecorder() const { return m_showHide; }
    [[nodiscard]] QString newPostMessage() const;
    [[nodiscard]] QString showHideMessage() const;

    // Reads the settings again and asks each hot key whether it works.
    void reload();

    // Adds the pane to the preferences window.
    static void registerPane(RTShortcutsPaneHooks hooks);

protected:
    void showEvent(QShowEvent *event) override;

private:
    struct Row
    {
        RTHotKeyRecorder *recorder;
        QLabel *message;
        std::function<QString()> problem;
    };
    void updateMessage(const Row &row);

    RTShortcutsPaneHooks m_hooks;
    RTHotKeyRecorder *m_newPost;
    RTHotKeyRecorder *m_showHide;
    Row m_newPostRow;
    Row m_showHideRow;
};
