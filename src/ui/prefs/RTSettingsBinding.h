#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QVariant>
#include <functional>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLineEdit;
class QWidget;

// Ties preference controls to settings keys: a control shows the key's value, writes
// every change to the settings store at once (the readers watch the store), and follows
// the store when something else changes the key (talvoctl, the menu toggles).
class RTSettingsBinding : public QObject
{
    Q_OBJECT
public:
    explicit RTSettingsBinding(QWidget *pane);

    // inverted: the box reads "Ask before ..." for a key that means "do not ask".
    QCheckBox *checkBox(const char *key, const QString &text, bool inverted = false);
    // choices: the text shown and the value stored.
    QComboBox *comboBox(const char *key, const QList<std::pair<QString, QVariant>> &choices);
    QDoubleSpinBox *doubleSpinBox(const char *key, double minimum, double maximum, double step);
    QLineEdit *lineEdit(const char *key);

    // Shows every control's stored value again.
    void refreshAll();

private:
    void bind(const char *key, std::function<void()> refresh);

    QWidget *m_pane;
    QHash<QString, std::function<void()>> m_refresh;
};
