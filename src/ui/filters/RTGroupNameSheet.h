#pragma once

#include <QDialog>
#include <QStringList>

class QDialogButtonBox;
class QLabel;
class QLineEdit;

// Asks for a group's name, as a sheet over the window: for a new group of an account, or
// for a new name of one. The name must not be blank, too long, or the name of another
// group of the same account (compared without case).
class RTGroupNameSheet : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kMaxNameLength = 100;

    // takenNames: the names of the account's other groups.
    RTGroupNameSheet(const QString &title, const QString &prompt, const QString &acceptText,
                     const QString &currentName, QStringList takenNames, QWidget *parent = nullptr);

    [[nodiscard]] QString name() const;
    [[nodiscard]] QLineEdit *nameField() const { return m_field; }
    [[nodiscard]] bool canAccept() const;
    // Why the name cannot be taken; empty when it can.
    [[nodiscard]] QString problem() const;

private:
    void update();

    QLineEdit *m_field = nullptr;
    QLabel *m_problem = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
    QString m_currentName;
    QStringList m_takenNames;
};
