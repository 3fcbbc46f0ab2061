#include "ui/RTFacebookAccountAdditionPage.h"

#include "networks/facebook/RTFacebookLogin.h"
#include "networks/facebook/RTServiceFacebook.h"
#include "store/TAAccounts.h"
#include "store/TADataManager.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

RTFacebookAccountAdditionPage::RTFacebookAccountAdditionPage(QWidget *parent)
    : RTAccountAdditionPage(parent)
    , m_login(new RTFacebookLogin(this))
    , m_status(new QLabel(this))
    , m_address(new QLineEdit(this))
    , m_again(new QPushButton(tr("Open Browser Again"), this))
    , m_cancel(new QPushButton(tr("Cancel Log-in"), this))
{
    setAccessibleName(tr("Add a Facebook account"));
    m_intro = new QLabel(tr("Talvo opens Facebook in your web browser. Log in there and "
                            "allow Talvo; then come back here."),
                         this);
    m_intro->setWordWrap(true);
    m_status->setWordWrap(true);
    m_status->setAccessibleName(tr("Log-in status"));
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_address->setReadOnly(true);
    m_address->setAccessibleName(tr("Log-in address"));
    m_address->setToolTip(tr("If no browser opened, copy this address into one."));
    m_again->setAccessibleName(tr("Open the log-in page in the browser again"));
    m_cancel->setAccessibleName(tr("Cancel the log-in"));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_again);
    buttons->addWidget(m_cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_intro);
    layout->addWidget(m_status);
    layout->addWidget(m_address);
    layout->addLayout(buttons);
    layout->addStretch();

    connect(m_again, &QPushButton::clicked, this, &RTFacebookAccountAdditionPage::begin);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        cancel();
        showStatus(tr("Log-in cancelled."));
    });
    connect(m_login, &RTFacebookLogin::waitingForBrowser, this, [this](const QUrl &url) {
        m_address->setText(url.toString(QUrl::FullyEncoded));
        showStatus(tr("Waiting for your browser…"));
    });
    connect(m_login, &RTFacebookLogin::exchangingCode, this,
            [this] { showStatus(tr("Logging in…")); });
    connect(m_login, &RTFacebookLogin::loggedIn, this, &RTFacebookAccountAdditionPage::finished);
    connect(m_login, &RTFacebookLogin::failed, this, [this](const QString &sentence) {
        setBusy(false);
        showStatus(sentence);
        emit failed(sentence);
    });
    setBusy(false);
}

RTFacebookAccountAdditionPage::~RTFacebookAccountAdditionPage()
{
    m_login->cancel();
}

QString RTFacebookAccountAdditionPage::statusText() const
{
    return m_status->text();
}

void RTFacebookAccountAdditionPage::begin()
{
    setBusy(true);
    if (!m_login->begin())
        setBusy(false);
}

void RTFacebookAccountAdditionPage::cancel()
{
    m_login->cancel();
    setBusy(false);
}

bool RTFacebookAccountAdditionPage::renewAccount(const std::shared_ptr<RTService> &account)
{
    const auto facebook = std::dynamic_pointer_cast<RTServiceFacebook>(account);
    if (!facebook)
        return false;
    const RTUserFacebookPtr me = facebook->mySelf();
    const QString name = me ? me->displayName() : facebook->serviceId();
    setAccessibleName(tr("Log in to Facebook again"));
    m_intro->setText(tr("Facebook no longer accepts Talvo's log-in for %1. Talvo opens Facebook "
                        "in your web browser: log in there as %1 and allow Talvo; then come "
                        "back here. The account keeps its posts and settings.")
                         .arg(name));
    m_login->setAccountToRenew(facebook->serviceId());
    return true;
}

void RTFacebookAccountAdditionPage::setBusy(bool busy)
{
    if (m_busy != busy) {
        m_busy = busy;
        emit busyChanged(busy);
    }
    m_cancel->setEnabled(busy);
    m_again->setText(busy ? tr("Open Browser Again") : tr("Log In with Browser"));
}

void RTFacebookAccountAdditionPage::showStatus(const QString &text)
{
    m_status->setText(text);
}

void RTFacebookAccountAdditionPage::finished(const std::shared_ptr<RTServiceFacebook> &account,
                                             bool isNew)
{
    setBusy(false);
    TADataManager &store = TADataManager::sharedManager();
    if (isNew)
        store.addService(account);
    if (!account->running())
        account->start();
    const RTUserFacebookPtr me = account->mySelf();
    showStatus(tr("Logged in as %1.").arg(me ? me->displayName() : account->serviceId()));
    emit accountAdded(TAAccounts::identifier(*account));
}

void registerFacebookWindows()
{
    RTAccountKind kind;
    kind.kind = QStringLiteral("facebook");
    kind.title = QStringLiteral("Facebook");
    kind.iconName = QStringLiteral("account");
    kind.order = 20;
    kind.createPage = [](QWidget *parent) { return new RTFacebookAccountAdditionPage(parent); };
    kind.serviceType = RTServiceFacebook::kServiceType;
    RTWindowExtensions::registerAccountKind(std::move(kind));
}
