#include "ui/RTHotKeyRecorder.h"

#include "platform/HotKeyKeys.h"

#include <QAction>
#include <QKeyEvent>
#include <QKeySequence>

namespace {
constexpr Qt::KeyboardModifiers kChordModifiers =
    Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

bool isModifierKey(int key)
{
    switch (key) {
    case Qt::Key_Control:
    case Qt::Key_Shift:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
        return true;
    default:
        return false;
    }
}

// Keys that type nothing, so Shift alone does not take a character from other programs.
bool typesNothing(int key)
{
    return key >= Qt::Key_Escape && key != Qt::Key_Space;
}
} // namespace

RTHotKeyRecorder::RTHotKeyRecorder(QWidget *parent)
    : QLineEdit(parent)
    , m_clearAction(new QAction(this))
{
    setReadOnly(true);
    setFocusPolicy(Qt::StrongFocus);
    setContextMenuPolicy(Qt::NoContextMenu);
    setAccessibleDescription(
        tr("Press Space to record a key combination, Backspace to remove it."));
    m_clearAction->setIcon(QIcon::fromTheme(QStringLiteral("edit-clear")));
    m_clearAction->setText(tr("Remove Hot Key"));
    m_clearAction->setToolTip(tr("Remove the hot key"));
    addAction(m_clearAction, QLineEdit::TrailingPosition);
    connect(m_clearAction, &QAction::triggered, this, &RTHotKeyRecorder::clearHotKey);
    showCurrent();
}

QString RTHotKeyRecorder::hotKeyText(int keyCode, quint32 flags)
{
    const auto modifiers = Qt::KeyboardModifiers(int(flags & HotKeyKeys::kModifierMask));
    if (keyCode == -1 || modifiers == Qt::NoModifier)
        return QString();
    return QKeySequence(QKeyCombination(modifiers, Qt::Key(keyCode)))
        .toString(QKeySequence::NativeText);
}

QString RTHotKeyRecorder::refusalFor(int key, Qt::KeyboardModifiers modifiers)
{
    const bool chord = (modifiers & kChordModifiers) != Qt::NoModifier ||
                       ((modifiers & Qt::ShiftModifier) && typesNothing(key));
    if (!chord)
        return tr("Use Ctrl, Alt or Super with the key, so it does not fire while you type.");
    if (HotKeyKeys::keyForKeyCode(key).keysym == 0)
        return tr("This key cannot be a hot key. Use a letter, a digit, a function key or a "
                  "punctuation key.");
    return QString();
}

void RTHotKeyRecorder::setHotKey(int keyCode, quint32 flags)
{
    flags &= HotKeyKeys::kModifierMask;
    if (keyCode == -1 || flags == 0) {
        keyCode = -1;
        flags = 0;
    }
    m_keyCode = keyCode;
    m_flags = flags;
    if (!m_recording)
        showCurrent();
}

void RTHotKeyRecorder::startRecording()
{
    if (m_recording)
        return;
    m_recording = true;
    setText(QString());
    setPlaceholderText(tr("Type the combination…"));
    setFocus(Qt::OtherFocusReason);
}

void RTHotKeyRecorder::cancelRecording()
{
    stopRecording();
}

void RTHotKeyRecorder::stopRecording()
{
    m_recording = false;
    setRefusal(QString());
    showCurrent();
}

void RTHotKeyRecorder::clearHotKey()
{
    const bool had = m_keyCode != -1;
    m_keyCode = -1;
    m_flags = 0;
    stopRecording();
    if (had)
        emit hotKeyChanged(-1, 0);
}

void RTHotKeyRecorder::setRefusal(const QString &refusal)
{
    if (refusal == m_refusal)
        return;
    m_refusal = refusal;
    emit refusalChanged(refusal);
}

void RTHotKeyRecorder::showCurrent()
{
    setPlaceholderText(tr("None"));
    setText(hotKeyText(m_keyCode, m_flags));
    m_clearAction->setVisible(m_keyCode != -1);
}

void RTHotKeyRecorder::showModifiers(Qt::KeyboardModifiers modifiers)
{
    QString text = QKeySequence(QKeyCombination(modifiers, Qt::Key_unknown))
                       .toString(QKeySequence::NativeText);
    // The sequence names the unknown key; only the modifiers are wanted.
    const qsizetype plus = text.lastIndexOf(QLatin1Char('+'));
    text = plus >= 0 ? text.left(plus + 1) : QString();
    setText(text);
}

bool RTHotKeyRecorder::event(QEvent *event)
{
    // While recording, every combination belongs to the field, not to a window shortcut.
    if (m_recording && event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    return QLineEdit::event(event);
}

void RTHotKeyRecorder::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers =
        event->modifiers() & (kChordModifiers | Qt::ShiftModifier);
    if (!m_recording) {
        if (modifiers == Qt::NoModifier &&
            (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter)) {
            startRecording();
        } else if (modifiers == Qt::NoModifier &&
                   (key == Qt::Key_Backspace || key == Qt::Key_Delete)) {
            clearHotKey();
        } else {
            QLineEdit::keyPressEvent(event);
        }
        return;
    }
    event->accept();
    if (isModifierKey(key) || key == Qt::Key_unknown) {
        showModifiers(modifiers);
        return;
    }
    if (modifiers == Qt::NoModifier) {
        if (key == Qt::Key_Escape) {
            cancelRecording();
            return;
        }
        if (key == Qt::Key_Backspace || key == Qt::Key_Delete) {
            clearHotKey();
            return;
        }
    }
    // Tab leaves the field, as everywhere else.
    if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) &&
        (modifiers & kChordModifiers) == Qt::NoModifier) {
        cancelRecording();
        focusNextPrevChild(key == Qt::Key_Tab);
        return;
    }
    // Shift with a digit or punctuation arrives as the shifted character (Shift+1 is "!").
    const QString refusal = refusalFor(key, modifiers);
    if (!refusal.isEmpty()) {
        setRefusal(refusal);
        setText(QString());
        return;
    }
    m_keyCode = key;
    m_flags = quint32(modifiers.toInt());
    stopRecording();
    emit hotKeyChanged(m_keyCode, m_flags);
}

void RTHotKeyRecorder::keyReleaseEvent(QKeyEvent *event)
{
    if (m_recording && isModifierKey(event->key())) {
        // Modifiers still held after this release.
        Qt::KeyboardModifiers held = event->modifiers() & (kChordModifiers | Qt::ShiftModifier);
        showModifiers(held);
        event->accept();
        return;
    }
    QLineEdit::keyReleaseEvent(event);
}

void RTHotKeyRecorder::mousePressEvent(QMouseEvent *event)
{
    QLineEdit::mousePressEvent(event);
    startRecording();
}

void RTHotKeyRecorder::focusOutEvent(QFocusEvent *event)
{
    if (m_recording)
        cancelRecording();
    QLineEdit::focusOutEvent(event);
}
