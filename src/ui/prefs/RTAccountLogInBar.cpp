#include "ui/prefs/RTAccountLogInBar.h"

#include "accounts/RTServiceRegistry.h"
#include "networks/facebook/RTServiceFacebook.h"
#include "store/TAAccounts.h"
#include "ui/RTUiIcons.h"
#include "ui/RTWindowExtensions.h"
#include "ui/prefs/RTLogInAgainDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

RTAccountLogInBar::RTAccountLogInBar(RTServiceRegistry &registry, QWidget *parent)
    : QWidget(parent)
    , m_registry(registry)
    , m_icon(new QLabel(this))
    , m_label(new QLabel(this))
    , m_button(new QPushButton(tr("Log In Again…"), this))
{
    setObjectName(QStringLiteral("accountLogInBar"));
    m_label->setObjectName(QStringLiteral("accountLogInText"));
    m_label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_button->setObjectName(QStringLiteral("logInAgain"));
    const int h = fontMetrics().height();
    m_icon->setPixmap(
        RTUiIcons::icon(QStringLiteral("locked"), palette().color(QPalette::WindowText))
            .pixmap(h, h));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_icon);
    layout->addWidget(m_label, 1);
    layout->addWidget(m_button);
    connect(m_button, &QPushButton::clicked, this, &RTAccountLogInBar::logInAgain);
    connect(&m_registry, &RTServiceRegistry::servicesChanged, this,
            &RTAccountLogInBar::watchAccounts);
    watchAccounts();
}

RTAccountLogInBar::~RTAccountLogInBar()
{
    for (const QMetaObject::Connection &c : std::as_const(m_watches))
        disconnect(c);
}

QString RTAccountLogInBar::kindTitle(const RTService &account)
{
    for (const RTAccountKind &k : RTWindowExtensions::accountKinds()) {
        if (k.serviceType >= 0 && k.serviceType == account.serviceType())
            return k.title;
    }
    return account.serviceName();
}

QString RTAccountLogInBar::accountName(const RTService &account)
{
    if (const auto *facebook = qobject_cast<const RTServiceFacebook *>(&account)) {
        if (const RTUserFacebookPtr me = facebook->mySelf(); me && !me->displayName().isEmpty())
            return me->displayName();
    }
    return account.serviceId();
}

QString RTAccountLogInBar::sentence(const RTService &account)
{
    return tr("%1 no longer accepts the log-in of %2.")
        .arg(kindTitle(account), accountName(account));
}

RTServiceList RTAccountLogInBar::accountsNeedingLogIn() const
{
    RTServiceList marked;
    for (const RTServicePtr &s : TAAccounts::userAccounts(m_registry.services())) {
        if (s->needsLogIn() && !s->isDeleted())
            marked.append(s);
    }
    return marked;
}

void RTAccountLogInBar::logInAgain()
{
    const RTServiceList marked = accountsNeedingLogIn();
    if (!marked.isEmpty())
        RTLogInAgainDialog::open(marked.first(), window());
}

void RTAccountLogInBar::watchAccounts()
{
    for (const QMetaObject::Connection &c : std::as_const(m_watches))
        disconnect(c);
    m_watches.clear();
    for (const RTServicePtr &s : m_registry.services()) {
        m_watches.append(
            connect(s.get(), &RTService::needsLogInChanged, this, &RTAccountLogInBar::refresh));
        // The person's name arrives after the account.
        if (auto *facebook = qobject_cast<RTServiceFacebook *>(s.get()))
            m_watches.append(connect(facebook, &RTServiceFacebook::mySelfChanged, this,
                                     &RTAccountLogInBar::refresh));
    }
    refresh();
}

void RTAccountLogInBar::refresh()
{
    const RTServiceList marked = accountsNeedingLogIn();
    const bool wasShown = m_shown;
    m_shown = !marked.isEmpty();
    if (marked.isEmpty()) {
        m_label->clear();
        hide();
    } else {
        QString text = sentence(*marked.first());
        if (marked.size() == 2)
            text += QLatin1Char(' ') + tr("One more account needs a log-in too.");
        else if (marked.size() > 2)
            text +=
                QLatin1Char(' ') + tr("%1 more accounts need a log-in too.").arg(marked.size() - 1);
        m_label->setText(text);
        const bool canLogIn = RTLogInAgainDialog::canLogInAgain(*marked.first());
        m_button->setEnabled(canLogIn);
        m_button->setAccessibleName(
            tr("Log in again to %1 as %2")
                .arg(kindTitle(*marked.first()), accountName(*marked.first())));
        setAccessibleName(text);
        show();
    }
    if (wasShown != m_shown)
        emit shownChanged(m_shown);
}
