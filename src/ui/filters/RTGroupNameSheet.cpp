#include "ui/filters/RTGroupNameSheet.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

RTGroupNameSheet::RTGroupNameSheet(const QString &title, const QString &prompt,
                                   const QString &acceptText, const QString &currentName,
                                   QStringList takenNames, QWidget *parent)
    : QDialog(parent, Qt::Sheet)
    , m_currentName(currentName)
    , m_takenNames(std::move(takenNames))
{
    setWindowTitle(title);
    setWindowModality(Qt::WindowModal);
    auto *label = new QLabel(prompt, this);
    label->setWordWrap(true);
    m_field = new QLineEdit(currentName, this);
    m_field->setObjectName(QStringLiteral("groupName"));
    m_field->setAccessibleName(tr("Group name"));
    m_field->setMaxLength(kMaxNameLength + 1); // one more, so "too long" can be said
    m_field->selectAll();
    label->setBuddy(m_field);
    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("groupNameProblem"));
    m_problem->setEnabled(false);
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_buttons->button(QDialogButtonBox::Ok)->setText(acceptText);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_field);
    layout->addWidget(m_problem);
    layout->addWidget(m_buttons);
    connect(m_buttons, &QDialogButtonBox::accepted, this, [this] {
        if (canAccept())
            accept();
    });
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_field, &QLineEdit::textChanged, this, &RTGroupNameSheet::update);
    update();
}

QString RTGroupNameSheet::name() const
{
    return m_field->text().simplified();
}

QString RTGroupNameSheet::problem() const
{
    const QString n = name();
    if (n.isEmpty())
        return tr("Type a name for the group.");
    if (n.size() > kMaxNameLength)
        return tr("A group's name has at most %1 characters.").arg(kMaxNameLength);
    if (!m_currentName.isEmpty() && n == m_currentName.simplified())
        return tr("Type the new name.");
    for (const QString &taken : m_takenNames)
        if (taken.simplified().compare(n, Qt::CaseInsensitive) == 0)
            return tr("The account already has a group named “%1”.").arg(taken);
    return {};
}

bool RTGroupNameSheet::canAccept() const
{
    return problem().isEmpty();
}

void RTGroupNameSheet::update()
{
    const QString text = problem();
    // An empty field needs no scolding; the disabled button says enough.
    m_problem->setText(name().isEmpty() ? QString() : text);
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(text.isEmpty());
}
