#include "ui/RTListSheet.h"

#include "twitter/RTRequestOperationTwitterLists.h"
#include "twitter/RTServiceTwitter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel *makeProblemLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setWordWrap(true);
    label->setAccessibleName(QObject::tr("Problem"));
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, p.color(QPalette::Active, QPalette::Highlight));
    label->setPalette(p);
    label->hide();
    return label;
}

void showProblem(QLabel *label, const QString &text)
{
    label->setText(text);
    label->setVisible(!text.isEmpty());
}

} // namespace

RTListSheet::RTListSheet(const QList<RTServiceTwitter *> &accounts, QWidget *parent)
    : QDialog(parent)
{
    for (RTServiceTwitter *account : accounts)
        m_accountList.append(account);
    setWindowTitle(tr("New List"));
    build(tr("Create"));
}

RTListSheet::RTListSheet(const RTListTwitterPtr &list, QWidget *parent)
    : QDialog(parent)
    , m_list(list)
{
    setWindowTitle(tr("Edit List"));
    build(tr("Save"));
    if (m_list) {
        // The name as the user wrote it is not kept; the slug is its closest form.
        m_name->setText(QString(m_list->slugName()).replace(QLatin1Char('-'), QLatin1Char(' ')));
        m_private->setChecked(m_list->isPrivate());
    }
    nameEdited();
}

void RTListSheet::build(const QString &saveTitle)
{
    setWindowModality(Qt::WindowModal);
    setAccessibleName(windowTitle());
    auto *form = new QFormLayout;
    if (!m_list && m_accountList.size() > 1) {
        m_accounts = new QComboBox(this);
        m_accounts->setAccessibleName(tr("Account"));
        for (const auto &account : std::as_const(m_accountList))
            m_accounts->addItem(QStringLiteral("@") + account->serviceId());
        form->addRow(tr("&Account:"), m_accounts);
    }
    m_name = new QLineEdit(this);
    m_name->setAccessibleName(tr("List name"));
    m_name->setMaxLength(RTRequestOperationTwitterLists::kMaxListNameLength);
    form->addRow(tr("&Name:"), m_name);
    m_description = new QLineEdit(this);
    m_description->setAccessibleName(tr("Description"));
    m_description->setMaxLength(RTRequestOperationTwitterLists::kMaxDescriptionLength);
    m_description->setPlaceholderText(tr("Optional"));
    form->addRow(tr("&Description:"), m_description);
    m_private = new QCheckBox(tr("&Private: only you see it"), this);
    m_private->setAccessibleName(tr("Private list"));
    form->addRow(QString(), m_private);

    m_problem = makeProblemLabel(this);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    m_save = buttons->addButton(saveTitle, QDialogButtonBox::AcceptRole);
    m_save->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &RTListSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &RTListSheet::reject);
    connect(m_name, &QLineEdit::textChanged, this, &RTListSheet::nameEdited);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_problem);
    layout->addWidget(buttons);
    nameEdited();
}

void RTListSheet::nameEdited()
{
    m_save->setEnabled(!m_name->text().trimmed().isEmpty());
    showProblem(m_problem, QString());
}

void RTListSheet::accept()
{
    const QString problem = RTServiceTwitter::listNameProblem(m_name->text());
    if (!problem.isEmpty()) {
        showProblem(m_problem, problem);
        m_name->setFocus();
        return;
    }
    // An untouched description is left as Twitter has it.
    const QString description =
        m_list && !m_description->isModified() ? QString() : m_description->text();
    bool queued = false;
    if (m_list) {
        RTServiceTwitter *account = m_list->service();
        queued = account &&
                 account->updateList(m_list, m_name->text(), m_private->isChecked(), description);
    } else {
        const int index = m_accounts ? m_accounts->currentIndex() : 0;
        RTServiceTwitter *account =
            index >= 0 && index < m_accountList.size() ? m_accountList.at(index).data() : nullptr;
        queued = account &&
                 account->createListWithName(m_name->text(), m_private->isChecked(), description);
    }
    if (!queued) {
        showProblem(m_problem, tr("The account cannot send requests now. Check that it is "
                                  "logged in and try again."));
        return;
    }
    QDialog::accept();
}

// --- members -------------------------------------------------------------------------

RTListMemberSheet::RTListMemberSheet(Mode mode, RTServiceTwitter *account,
                                     const QList<RTListTwitterPtr> &lists,
                                     const RTListTwitterPtr &list, const QString &screenName,
                                     QWidget *parent)
    : QDialog(parent)
    , m_mode(mode)
    , m_account(account)
    , m_listObjects(lists)
{
    setWindowTitle(mode == Mode::Add ? tr("Add to List") : tr("Remove from List"));
    setAccessibleName(windowTitle());
    setWindowModality(Qt::WindowModal);
    auto *form = new QFormLayout;
    m_screenName =
        new QLineEdit(screenName.isEmpty() ? QString() : QStringLiteral("@") + screenName, this);
    m_screenName->setAccessibleName(tr("Screen name"));
    m_screenName->setPlaceholderText(tr("@screen_name"));
    form->addRow(tr("&User:"), m_screenName);
    m_lists = new QComboBox(this);
    m_lists->setAccessibleName(tr("List"));
    for (const RTListTwitterPtr &l : lists)
        m_lists->addItem(l->fullName());
    if (list && lists.contains(list))
        m_lists->setCurrentIndex(int(lists.indexOf(list)));
    form->addRow(tr("&List:"), m_lists);
    m_problem = makeProblemLabel(this);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    m_ok = buttons->addButton(mode == Mode::Add ? tr("Add") : tr("Remove"),
                              QDialogButtonBox::AcceptRole);
    m_ok->setDefault(true);
    m_ok->setEnabled(!lists.isEmpty());
    connect(buttons, &QDialogButtonBox::accepted, this, &RTListMemberSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &RTListMemberSheet::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_problem);
    layout->addWidget(buttons);
    if (lists.isEmpty())
        showProblem(m_problem, tr("This account has no lists of its own yet."));
    if (!screenName.isEmpty())
        m_lists->setFocus();
}

void RTListMemberSheet::accept()
{
    const QString name = RTServiceTwitter::normalizedScreenName(m_screenName->text());
    if (name.isEmpty()) {
        showProblem(m_problem, tr("A screen name is up to 15 letters, digits or underscores."));
        m_screenName->setFocus();
        return;
    }
    const int index = m_lists->currentIndex();
    const RTListTwitterPtr list =
        index >= 0 && index < m_listObjects.size() ? m_listObjects.at(index) : nullptr;
    const bool queued = m_account && list &&
                        (m_mode == Mode::Add ? m_account->addMemberToList(list, name)
                                             : m_account->removeMemberFromList(list, name));
    if (!queued) {
        showProblem(m_problem, tr("The account cannot send requests now. Check that it is "
                                  "logged in and try again."));
        return;
    }
    QDialog::accept();
}
