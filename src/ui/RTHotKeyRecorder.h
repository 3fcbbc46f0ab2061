#pragma once

#include <QLineEdit>

// Records a global hot key: click the field (or press Space) and type the combination. The
// result is a Qt::Key and Qt::KeyboardModifiers bits, as the hot-key settings hold them.
// Backspace or Delete clears it, Escape keeps the old one. A key without Ctrl, Alt or Super
// would fire while the user types in other programs, so it is refused with a reason.
class RTHotKeyRecorder : public QLineEdit
{
    Q_OBJECT

public:
    explicit RTHotKeyRecorder(QWidget *parent = nullptr);

    // Shows a stored combination without announcing it; -1 or no modifier means none.
    void setHotKey(int keyCode, quint32 flags);
    [[nodiscard]] int keyCode() const { return m_keyCode; }
    [[nodiscard]] quint32 flags() const { return m_flags; }
    [[nodiscard]] bool isRecording() const { return m_recording; }

    void startRecording();
    void cancelRecording();
    // Removes the hot key and announces it.
    void clearHotKey();

    // Why the last typed combination was refused; empty after an accepted one.
    [[nodiscard]] QString refusal() const { return m_refusal; }
    // Why a combination cannot be a hot key, or "" when it can.
    [[nodiscard]] static QString refusalFor(int key, Qt::KeyboardModifiers modifiers);
    // "Ctrl+Alt+T" in the desktop's words; "" for none.
    [[nodiscard]] static QString hotKeyText(int keyCode, quint32 flags);

signals:
    void hotKeyChanged(int keyCode, quint32 flags);
    // The refusal text changed (empty when the last try was good or recording ended).
    void refusalChanged(const QString &refusal);

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void stopRecording();
    void setRefusal(const QString &refusal);
    void showCurrent();
    void showModifiers(Qt::KeyboardModifiers modifiers);

    int m_keyCode = -1;
    quint32 m_flags = 0;
    bool m_recording = false;
    QString m_refusal;
    QAction *m_clearAction;
};
