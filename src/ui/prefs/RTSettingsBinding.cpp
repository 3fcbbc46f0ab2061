#include "ui/prefs/RTSettingsBinding.h"

#include "foundation/SettingsStore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QSignalBlocker>

RTSettingsBinding::RTSettingsBinding(QWidget *pane)
    : QObject(pane)
    , m_pane(pane)
{
    connect(&SettingsStore::shared(), &SettingsStore::valueChanged, this,
            [this](const QString &key, const QVariant &) {
                if (const auto it = m_refresh.constFind(key); it != m_refresh.constEnd())
                    (*it)();
            });
}

void RTSettingsBinding::bind(const char *key, std::function<void()> refresh)
{
    refresh();
    m_refresh.insert(QString::fromLatin1(key), std::move(refresh));
}

void RTSettingsBinding::refreshAll()
{
    for (const auto &refresh : std::as_const(m_refresh))
        refresh();
}

QCheckBox *RTSettingsBinding::checkBox(const char *key, const QString &text, bool inverted)
{
    auto *box = new QCheckBox(text, m_pane);
    box->setAccessibleName(text);
    box->setObjectName(QString::fromLatin1(key));
    const QString k = QString::fromLatin1(key);
    bind(key, [box, k, inverted] {
        const QSignalBlocker block(box);
        box->setChecked(SettingsStore::shared().boolForKey(k) != inverted);
    });
    connect(box, &QCheckBox::toggled, this,
            [k, inverted](bool on) { SettingsStore::shared().setBool(k, on != inverted); });
    return box;
}

QComboBox *RTSettingsBinding::comboBox(const char *key,
                                       const QList<std::pair<QString, QVariant>> &choices)
{
    auto *combo = new QComboBox(m_pane);
    combo->setObjectName(QString::fromLatin1(key));
    for (const auto &[text, value] : choices)
        combo->addItem(text, value);
    const QString k = QString::fromLatin1(key);
    bind(key, [combo, k] {
        const QSignalBlocker block(combo);
        const QVariant stored = SettingsStore::shared().objectForKey(k);
        int found = -1;
        for (int i = 0; i < combo->count() && found < 0; ++i) {
            // The INI file gives numbers back as text: compare as text.
            if (combo->itemData(i).toString() == stored.toString())
                found = i;
        }
        combo->setCurrentIndex(found);
    });
    connect(combo, &QComboBox::activated, this,
            [combo, k](int index) { SettingsStore::shared().setValue(k, combo->itemData(index)); });
    return combo;
}

QDoubleSpinBox *RTSettingsBinding::doubleSpinBox(const char *key, double minimum, double maximum,
                                                 double step)
{
    auto *spin = new QDoubleSpinBox(m_pane);
    spin->setObjectName(QString::fromLatin1(key));
    spin->setRange(minimum, maximum);
    spin->setSingleStep(step);
    spin->setDecimals(step < 1.0 ? 1 : 0);
    const QString k = QString::fromLatin1(key);
    bind(key, [spin, k] {
        const QSignalBlocker block(spin);
        spin->setValue(SettingsStore::shared().floatForKey(k));
    });
    connect(spin, &QDoubleSpinBox::valueChanged, this,
            [k](double value) { SettingsStore::shared().setFloat(k, value); });
    return spin;
}

QLineEdit *RTSettingsBinding::lineEdit(const char *key)
{
    auto *edit = new QLineEdit(m_pane);
    edit->setObjectName(QString::fromLatin1(key));
    const QString k = QString::fromLatin1(key);
    bind(key, [edit, k] {
        const QString stored = SettingsStore::shared().stringForKey(k);
        if (edit->text() != stored) {
            const QSignalBlocker block(edit);
            edit->setText(stored);
        }
    });
    // Written when the user is done with the field, not at every key stroke.
    connect(edit, &QLineEdit::editingFinished, this,
            [edit, k] { SettingsStore::shared().setValue(k, edit->text()); });
    return edit;
}
