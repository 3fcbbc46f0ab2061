#include "ui/RTShortcutsPane.h"

#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "ui/RTHotKeyRecorder.h"
#include "ui/RTWindowExtensions.h"

#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {
QLabel *messageLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setForegroundRole(QPalette::PlaceholderText);
    label->hide();
    return label;
}
} // namespace

RTShortcutsPane::RTShortcutsPane(RTShortcutsPaneHooks hooks, QWidget *parent)
    : QWidget(parent)
    , m_hooks(std::move(hooks))
    , m_newPost(new RTHotKeyRecorder(this))
    , m_showHide(new RTHotKeyRecorder(this))
    , m_newPostRow{m_newPost, messageLabel(this), m_hooks.newPostHotKeyProblem}
    , m_showHideRow{m_showHide, messageLabel(this), m_hooks.showHideHotKeyProblem}
{
    setAccessibleName(tr("Shortcuts"));
    m_newPost->setAccessibleName(tr("New post hot key"));
    m_showHide->setAccessibleName(tr("Show or hide Talvo hot key"));

    auto *intro =
        new QLabel(tr("Hot keys work in every program, even when Talvo's window is closed. Click a "
                      "field and press the combination; Backspace removes it, Escape keeps the old "
                      "one."),
                   this);
    intro->setWordWrap(true);

    auto *form = new QFormLayout;
    form->addRow(tr("New post:"), m_newPost);
    form->addRow(QString(), m_newPostRow.message);
    form->addRow(tr("Show or hide Talvo:"), m_showHide);
    form->addRow(QString(), m_showHideRow.message);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addSpacing(8);
    layout->addLayout(form);
    layout->addStretch(1);

    const auto wire = [this](Row &row, std::function<void(int, quint32)> change) {
        connect(row.recorder, &RTHotKeyRecorder::hotKeyChanged, this,
                [this, &row, change](int keyCode, quint32 flags) {
                    if (change)
                        change(keyCode, flags);
                    updateMessage(row);
                });
        connect(row.recorder, &RTHotKeyRecorder::refusalChanged, this,
                [this, &row] { updateMessage(row); });
    };
    wire(m_newPostRow, m_hooks.changeNewPostHotKey);
    wire(m_showHideRow, m_hooks.changeShowHideHotKey);
    reload();
}

void RTShortcutsPane::reload()
{
    const SettingsStore &settings = SettingsStore::shared();
    m_newPost->setHotKey(
        int(settings.integerForKey(QLatin1String(RTNewTweetGlobalShortcutKeyCodeKey))),
        quint32(settings.unsignedIntegerForKey(QLatin1String(RTNewTweetGlobalShortcutFlagsKey))));
    m_showHide->setHotKey(
        int(settings.integerForKey(QLatin1String(RTShowHideTalvoGlobalShortcutKeyCodeKey))),
        quint32(
            settings.unsignedIntegerForKey(QLatin1String(RTShowHideTalvoGlobalShortcutFlagsKey))));
    updateMessage(m_newPostRow);
    updateMessage(m_showHideRow);
}

void RTShortcutsPane::updateMessage(const Row &row)
{
    // A refused combination is the news; otherwise whether the stored one works.
    QString text = row.recorder->refusal();
    if (text.isEmpty() && row.problem)
        text = row.problem();
    row.message->setText(text);
    row.message->setVisible(!text.isEmpty());
}

QString RTShortcutsPane::newPostMessage() const
{
    return m_newPostRow.message->text();
}

QString RTShortcutsPane::showHideMessage() const
{
    return m_showHideRow.message->text();
}

void RTShortcutsPane::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    reload();
}

void RTShortcutsPane::registerPane(RTShortcutsPaneHooks hooks)
{
    RTPreferencePane pane;
    pane.id = QLatin1String(paneId);
    pane.title = tr("Shortcuts");
    pane.iconName = QStringLiteral("keyboard");
    pane.order = 60;
    pane.createPane = [hooks = std::move(hooks)](QWidget *parent) {
        return new RTShortcutsPane(hooks, parent);
    };
    RTWindowExtensions::registerPreferencePane(std::move(pane));
}
