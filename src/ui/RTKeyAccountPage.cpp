#include "ui/RTKeyAccountPage.h"

#include "accounts/RTServiceInstapaper.h"
#include "accounts/RTServicePingfm.h"
#include "accounts/RTServiceRegistry.h"
#include "foundation/RTGlobalVariables.h"
#include "networks/instapaper/RTInstapaperClient.h"
#include "networks/pingfm/RTPingfmClient.h"
#include "sharing/RTRequestCallback.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

RTKeyAccountPage::RTKeyAccountPage(Kind kind, QWidget *parent)
    : RTAccountAdditionPage(parent)
    , m_kind(std::move(kind))
    , m_name(new QLineEdit(this))
    , m_secret(new QLineEdit(this))
    , m_add(new QPushButton(tr("Add Account"), this))
    , m_message(new QLabel(this))
{
    auto *explanation = new QLabel(m_kind.explanation, this);
    explanation->setWordWrap(true);
    m_name->setAccessibleName(m_kind.nameLabel);
    m_secret->setAccessibleName(m_kind.secretLabel);
    m_secret->setEchoMode(QLineEdit::Password);
    m_message->setWordWrap(true);
    m_message->setAccessibleName(tr("Log-in status"));
    auto *form = new QFormLayout;
    form->addRow(m_kind.nameLabel, m_name);
    form->addRow(m_kind.secretLabel, m_secret);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addLayout(form);
    layout->addWidget(m_message);
    layout->addWidget(m_add, 0, Qt::AlignRight);
    layout->addStretch(1);
    connect(m_add, &QPushButton::clicked, this, &RTKeyAccountPage::submit);
    connect(m_secret, &QLineEdit::returnPressed, this, &RTKeyAccountPage::submit);
}

RTKeyAccountPage::~RTKeyAccountPage()
{
    cancel();
}

void RTKeyAccountPage::begin()
{
    m_message->clear();
    m_name->setFocus();
}

void RTKeyAccountPage::cancel()
{
    if (m_check)
        m_check->cancel();
    m_check.reset();
    m_pending.reset(); // never registered, its secret never stored
    setBusy(false);
}

void RTKeyAccountPage::setBusy(bool busy)
{
    m_name->setEnabled(!busy);
    m_secret->setEnabled(!busy);
    m_add->setEnabled(!busy);
    emit busyChanged(busy);
}

void RTKeyAccountPage::submit()
{
    if (m_pending)
        return;
    const QString name = m_name->text().trimmed();
    const QString secret = m_secret->text();
    if (name.isEmpty() || (secret.isEmpty() && !m_kind.secretMayBeEmpty)) {
        finish(false, tr("Enter the %1 and the %2.")
                          .arg(m_kind.nameLabel.toLower(), m_kind.secretLabel.toLower()));
        return;
    }
    for (const RTServicePtr &s : RTServiceRegistry::shared().services()) {
        if (s->serviceType() == m_kind.serviceType && !s->isDeleted() &&
            s->serviceId().compare(name, Qt::CaseInsensitive) == 0) {
            finish(false, tr("%1 is already added.").arg(name));
            return;
        }
    }
    m_pending = m_kind.create();
    m_pending->setServiceId(name);
    m_pending->setUnverifiedServicePassword(secret);
    m_message->setText(tr("Checking…"));
    setBusy(true);
    QPointer<RTKeyAccountPage> self(this);
    const RTServicePtr account = m_pending;
    auto answer = RTRequestCallback::make(
        [self, account](const QVariantMap &) {
            if (self && self->m_pending == account)
                self->finish(true, QString());
        },
        [self, account](const QVariantMap &result) {
            if (self && self->m_pending == account)
                self->finish(
                    false,
                    result.value(QString::fromLatin1(kRTOperationFailureMessageKey)).toString());
        });
    m_check = m_kind.verify(m_pending, answer);
    if (!m_check)
        finish(false, tr("The check could not be sent."));
}

void RTKeyAccountPage::finish(bool success, const QString &failure)
{
    const RTServicePtr account = std::exchange(m_pending, nullptr);
    m_check.reset();
    setBusy(false);
    if (success && account && !account->setServicePassword(m_secret->text())) {
        success = false;
        m_message->setText(tr("The keyring did not take the secret; the account was not added."));
        emit failed(m_message->text());
        return;
    }
    if (!success) {
        const QString text = failure.isEmpty() ? tr("The service did not accept the log-in.")
                                               : tr("The log-in failed: %1").arg(failure);
        m_message->setText(text);
        emit failed(text);
        return;
    }
    m_message->clear();
    account->setIsNewlyAdded(true);
    RTServiceRegistry::shared().addService(account);
    emit accountAdded(account->serviceId());
}

void registerPingfmAndInstapaperWindows()
{
    RTWindowExtensions::registerAccountKind(
        {QStringLiteral("pingfm"), QStringLiteral("Ping.fm"), QStringLiteral("pingfm_60"), 30,
         [](QWidget *parent) -> RTAccountAdditionPage * {
             RTKeyAccountPage::Kind kind;
             kind.serviceType = 4;
             kind.nameLabel = RTKeyAccountPage::tr("User name");
             kind.secretLabel = RTKeyAccountPage::tr("Application key");
             kind.explanation = RTKeyAccountPage::tr(
                 "Ping.fm relays your posts to your other networks and shortens links. Your "
                 "application key is on Ping.fm's key page.");
             kind.create = [] { return std::make_shared<RTServicePingfm>(); };
             kind.verify = [](const RTServicePtr &s, RTRequestDelegatePtr d) {
                 return RTPingfmClient::verifyCredentials(
                     std::dynamic_pointer_cast<RTServicePingfm>(s), std::move(d));
             };
             return new RTKeyAccountPage(kind, parent);
         }});
    RTWindowExtensions::registerAccountKind(
        {QStringLiteral("instapaper"), QStringLiteral("Instapaper"),
         QStringLiteral("instapaper_60"), 40, [](QWidget *parent) -> RTAccountAdditionPage * {
             RTKeyAccountPage::Kind kind;
             kind.serviceType = 18;
             kind.nameLabel = RTKeyAccountPage::tr("User name or e-mail");
             kind.secretLabel = RTKeyAccountPage::tr("Password");
             kind.explanation = RTKeyAccountPage::tr(
                 "Instapaper keeps links to read later. Accounts without a password leave "
                 "the password empty.");
             kind.secretMayBeEmpty = true;
             kind.create = [] { return std::make_shared<RTServiceInstapaper>(); };
             kind.verify = [](const RTServicePtr &s, RTRequestDelegatePtr d) {
                 return RTInstapaperClient::verifyCredentials(
                     std::dynamic_pointer_cast<RTServiceInstapaper>(s), std::move(d));
             };
             return new RTKeyAccountPage(kind, parent);
         }});
}
