#pragma once

#include "twitter/RTListTwitter.h"

#include <QDialog>
#include <QPointer>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class RTServiceTwitter;

// The sheet that makes a new list or changes one: name, description, private. It sends
// the request itself when accepted and stays open with the reason when the name cannot
// be a list name.
class RTListSheet : public QDialog
{
    Q_OBJECT
public:
    // A new list of one of accounts (a chooser shows when there are several).
    RTListSheet(const QList<RTServiceTwitter *> &accounts, QWidget *parent);
    // Changing list.
    RTListSheet(const RTListTwitterPtr &list, QWidget *parent);

    [[nodiscard]] QLineEdit *nameField() const { return m_name; }
    [[nodiscard]] QLineEdit *descriptionField() const { return m_description; }
    [[nodiscard]] QCheckBox *privateBox() const { return m_private; }
    [[nodiscard]] QComboBox *accountBox() const { return m_accounts; }
    [[nodiscard]] QLabel *problemLabel() const { return m_problem; }
    [[nodiscard]] QPushButton *saveButton() const { return m_save; }

    void accept() override;

private:
    void build(const QString &saveTitle);
    void nameEdited();

    RTListTwitterPtr m_list;
    QList<QPointer<RTServiceTwitter>> m_accountList;
    QLineEdit *m_name = nullptr;
    QLineEdit *m_description = nullptr;
    QCheckBox *m_private = nullptr;
    QComboBox *m_accounts = nullptr;
    QLabel *m_problem = nullptr;
    QPushButton *m_save = nullptr;
};

// The sheet that adds a user to one of the account's own lists, or removes one.
class RTListMemberSheet : public QDialog
{
    Q_OBJECT
public:
    enum class Mode
    {
        Add,
        Remove
    };
    // lists: the account's own lists; list: the one chosen first (may be null).
    RTListMemberSheet(Mode mode, RTServiceTwitter *account, const QList<RTListTwitterPtr> &lists,
                      const RTListTwitterPtr &list, const QString &screenName, QWidget *parent);

    [[nodiscard]] QComboBox *listBox() const { return m_lists; }
    [[nodiscard]] QLineEdit *screenNameField() const { return m_screenName; }
    [[nodiscard]] QLabel *problemLabel() const { return m_problem; }
    [[nodiscard]] QPushButton *okButton() const { return m_ok; }

    void accept() override;

private:
    Mode m_mode;
    QPointer<RTServiceTwitter> m_account;
    QList<RTListTwitterPtr> m_listObjects;
    QComboBox *m_lists = nullptr;
    QLineEdit *m_screenName = nullptr;
    QLabel *m_problem = nullptr;
    QPushButton *m_ok = nullptr;
};
