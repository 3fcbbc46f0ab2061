#include "ui/prefs/RTTwitterAccountPage.h"

#include "store/TADataManager.h"
#include "twitter/RTServiceTwitter.h"
#include "twitter/RTTwitterAccountLogin.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

RTTwitterAccountPage::RTTwitterAccountPage(QWidget *parent)
    : RTAccountAdditionPage(parent)
    , m_user(new QLineEdit(this))
    , m_password(new QLineEdit(this))
    , m_logIn(new QPushButton(tr("Log In"), this))
    , m_progress(new QProgressBar(this))
    , m_message(new QLabel(this))
    , m_login(new RTTwitterAccountLogin(TADataManager::sharedManager(), this))
{
    setAccessibleName(tr("Twitter account"));
    m_intro = new QLabel(tr("Free social networking and micro-blogging service that enables "
                            "its users to send and read messages known as tweets."),
                         this);
    m_intro->setWordWrap(true);
    m_user->setPlaceholderText(tr("screen name"));
    m_user->setAccessibleName(tr("User name"));
    m_user->setMaxLength(64);
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setAccessibleName(tr("Password"));
    m_password->setMaxLength(1023);
    m_progress->setRange(0, 0);
    m_progress->setTextVisible(false);
    m_progress->setAccessibleName(tr("Logging in"));
    m_progress->hide();
    m_message->setWordWrap(true);
    m_message->setObjectName(QStringLiteral("loginMessage"));
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_logIn->setDefault(true);
    m_logIn->setAutoDefault(true);

    auto *form = new QFormLayout;
    form->addRow(tr("User name:"), m_user);
    form->addRow(tr("Password:"), m_password);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_intro);
    layout->addLayout(form);
    auto *row = new QHBoxLayout;
    row->addWidget(m_progress, 1);
    row->addStretch(0);
    row->addWidget(m_logIn);
    layout->addLayout(row);
    layout->addWidget(m_message);
    layout->addStretch(1);

    connect(m_logIn, &QPushButton::clicked, this, &RTTwitterAccountPage::start);
    connect(m_password, &QLineEdit::returnPressed, this, &RTTwitterAccountPage::start);
    connect(m_login, &RTTwitterAccountLogin::succeeded, this, [this](const QString &id) {
        setBusy(false);
        m_message->clear();
        m_password->clear();
        m_user->clear();
        emit accountAdded(id);
    });
    connect(m_login, &RTTwitterAccountLogin::failed, this, [this](const QString &sentence) {
        setBusy(false);
        showError(sentence);
    });
}

RTTwitterAccountPage::~RTTwitterAccountPage() = default;

void RTTwitterAccountPage::registerAccountKind()
{
    RTWindowExtensions::registerAccountKind({QStringLiteral("twitter"), tr("Twitter"),
                                             QStringLiteral("account"), 10,
                                             [](QWidget *parent) -> RTAccountAdditionPage * {
                                                 return new RTTwitterAccountPage(parent);
                                             },
                                             RTServiceTwitter::kServiceType});
}

void RTTwitterAccountPage::begin()
{
    if (m_user->isReadOnly())
        m_password->setFocus();
    else
        m_user->setFocus();
}

bool RTTwitterAccountPage::renewAccount(const std::shared_ptr<RTService> &account)
{
    if (!std::dynamic_pointer_cast<RTServiceTwitter>(account))
        return false;
    // The log-in finds the account by its name and replaces its password and tokens.
    m_intro->setText(tr("Twitter no longer accepts the password of %1. Enter its current "
                        "password to log in again; the account keeps its messages and "
                        "settings.")
                         .arg(account->serviceId()));
    m_user->setText(account->serviceId());
    m_user->setReadOnly(true);
    m_password->clear();
    return true;
}

void RTTwitterAccountPage::cancel()
{
    m_login->cancel();
    setBusy(false);
    m_message->clear();
}

void RTTwitterAccountPage::logIn(const QString &screenName, const QString &password)
{
    m_user->setText(screenName);
    m_password->setText(password);
    start();
}

bool RTTwitterAccountPage::isBusy() const
{
    return m_login->isBusy();
}

QString RTTwitterAccountPage::errorText() const
{
    return m_message->text();
}

void RTTwitterAccountPage::start()
{
    if (m_login->isBusy())
        return;
    if (!m_login->start(m_user->text(), m_password->text())) {
        showError(m_login->errorSentence());
        return;
    }
    m_message->setText(tr("Logging in to Twitter…"));
    m_message->setForegroundRole(QPalette::WindowText);
    setBusy(true);
}

void RTTwitterAccountPage::setBusy(bool busy)
{
    m_progress->setVisible(busy);
    m_user->setEnabled(!busy);
    m_password->setEnabled(!busy);
    m_logIn->setEnabled(!busy);
    emit busyChanged(busy);
}

void RTTwitterAccountPage::showError(const QString &sentence)
{
    m_message->setText(sentence);
    emit failed(sentence);
}
