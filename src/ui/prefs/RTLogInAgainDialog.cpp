#include "ui/prefs/RTLogInAgainDialog.h"

#include "ui/RTWindowExtensions.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const char kAccountProperty[] = "talvoLogInAgainAccount";

const RTAccountKind *kindFor(const std::vector<RTAccountKind> &kinds, const RTService &account)
{
    for (const RTAccountKind &k : kinds) {
        if (k.serviceType >= 0 && k.serviceType == account.serviceType() && k.createPage)
            return &k;
    }
    return nullptr;
}

} // namespace

bool RTLogInAgainDialog::canLogInAgain(const RTService &account)
{
    return kindFor(RTWindowExtensions::accountKinds(), account) != nullptr;
}

RTLogInAgainDialog *RTLogInAgainDialog::create(const RTServicePtr &account, QWidget *parent)
{
    if (!account)
        return nullptr;
    const std::vector<RTAccountKind> kinds = RTWindowExtensions::accountKinds();
    const RTAccountKind *kind = kindFor(kinds, *account);
    if (!kind)
        return nullptr;
    RTAccountAdditionPage *page = kind->createPage(nullptr);
    if (!page)
        return nullptr;
    if (!page->renewAccount(account)) {
        delete page;
        return nullptr;
    }
    return new RTLogInAgainDialog(account, page, parent);
}

RTLogInAgainDialog *RTLogInAgainDialog::open(const RTServicePtr &account, QWidget *parent)
{
    if (!account)
        return nullptr;
    const auto address = QVariant::fromValue<quintptr>(quintptr(account.get()));
    for (QWidget *w : QApplication::topLevelWidgets()) {
        auto *dialog = qobject_cast<RTLogInAgainDialog *>(w);
        if (dialog && dialog->property(kAccountProperty) == address && dialog->isVisible()) {
            dialog->raise();
            dialog->activateWindow();
            return dialog;
        }
    }
    RTLogInAgainDialog *dialog = create(account, parent);
    if (!dialog)
        return nullptr;
    dialog->setProperty(kAccountProperty, address);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    dialog->m_page->begin();
    return dialog;
}

RTLogInAgainDialog::RTLogInAgainDialog(const RTServicePtr &account, RTAccountAdditionPage *page,
                                       QWidget *parent)
    : QDialog(parent)
    , m_account(account)
    , m_page(page)
{
    setWindowTitle(tr("Log In Again"));
    setAccessibleName(
        tr("Log in again to %1 as %2").arg(account->serviceName(), account->serviceId()));
    m_page->setParent(this);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setAccessibleName(tr("Cancel the log-in"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_page, 1);
    layout->addWidget(buttons);
    const int h = fontMetrics().height();
    setMinimumSize(h * 30, h * 14);

    connect(buttons, &QDialogButtonBox::rejected, this, &RTLogInAgainDialog::reject);
    connect(m_page, &RTAccountAdditionPage::accountAdded, this, [this](const QString &id) {
        emit loggedInAgain(id);
        accept();
    });
}

void RTLogInAgainDialog::reject()
{
    m_page->cancel();
    QDialog::reject();
}
