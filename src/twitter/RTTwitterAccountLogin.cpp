#include "twitter/RTTwitterAccountLogin.h"

#include "accounts/AccountKeychain.h"
#include "foundation/Localization.h"
#include "foundation/Log.h"
#include "foundation/RTGlobalVariables.h"
#include "network/RTRequestOperation.h"
#include "store/TAAccounts.h"
#include "store/TADataManager.h"
#include "twitter/RTServiceTwitter.h"

#include <QPointer>

namespace {

constexpr int kTwitterServiceType = 2;

QString text(int n)
{
    return localizedString(QStringLiteral("##RTTwitterAccountLogin:%1##").arg(n));
}

// Twitter screen names are the same name whatever their case.
std::shared_ptr<RTServiceTwitter> knownAccount(const TADataManager &store, const QString &name)
{
    for (const RTServicePtr &service : store.services()) {
        if (service && !service->isDeleted() && service->serviceType() == kTwitterServiceType &&
            service->serviceId().compare(name, Qt::CaseInsensitive) == 0)
            return std::dynamic_pointer_cast<RTServiceTwitter>(service);
    }
    return nullptr;
}

// An account the log-in did not create keeps using the password of the keyring.
void restoreStoredPassword(const std::shared_ptr<RTServiceTwitter> &account)
{
    account->setUnverifiedServicePassword(account->keychainServicePassword());
}

// Whatever a new account that will not be kept put into the keyring comes out again.
void discardNewAccount(const std::shared_ptr<RTServiceTwitter> &account)
{
    account->setIsDeleted(true);
    account->stop();
    account->deleteKeychainItems();
}

} // namespace

// The delegate of one token request. It outlives the log-in object when the user cancels,
// so that a late answer can still be undone.
struct RTTwitterAccountLogin::Attempt : RTRequestDelegate
{
    QPointer<RTTwitterAccountLogin> owner;
    std::shared_ptr<RTServiceTwitter> account;
    QString password;
    bool isNew = false;
    bool cancelled = false;

    void serviceRequestSuccess(const QVariantMap &result) override { answer(true, result); }
    void serviceRequestFailure(const QVariantMap &result) override { answer(false, result); }

    void answer(bool success, const QVariantMap &result)
    {
        if (cancelled || !owner) {
            if (isNew)
                discardNewAccount(account);
            else if (!success)
                restoreStoredPassword(account);
            return;
        }
        owner->answered(success, result);
    }
};

RTTwitterAccountLogin::RTTwitterAccountLogin(TADataManager &store, QObject *parent)
    : QObject(parent)
    , m_store(store)
{
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        cancel();
        fail(text(5));
    });
}

RTTwitterAccountLogin::~RTTwitterAccountLogin()
{
    cancel();
}

bool RTTwitterAccountLogin::start(const QString &screenName, const QString &password, int timeoutMs)
{
    m_errorSentence.clear();
    m_account.reset();
    if (isBusy()) {
        m_errorSentence = text(9);
        return false;
    }
    const QString name = screenName.trimmed();
    if (name.isEmpty() || password.isEmpty()) {
        m_errorSentence = text(0);
        return false;
    }
    switch (AccountKeychain::probe()) {
    case Keychain::Status::Success:
    case Keychain::Status::ItemNotFound:
        break;
    case Keychain::Status::Unavailable:
        m_errorSentence = text(1);
        return false;
    case Keychain::Status::AccessRefused:
        m_errorSentence = text(2);
        return false;
    case Keychain::Status::Failed:
        m_errorSentence = text(3);
        return false;
    }

    auto attempt = std::make_shared<Attempt>();
    attempt->owner = this;
    attempt->password = password;
    attempt->account = knownAccount(m_store, name);
    if (attempt->account) {
        if (const QString refusal = attempt->account->hostProfileRefusal(); !refusal.isEmpty()) {
            m_errorSentence = refusal;
            return false;
        }
    } else {
        attempt->isNew = true;
        attempt->account = std::make_shared<RTServiceTwitter>();
        attempt->account->setServiceId(name);
    }
    // Kept in memory until the server accepts it: a failed log-in stores nothing.
    attempt->account->setUnverifiedServicePassword(password);
    attempt->account->setAuthFailureCount(0);
    m_attempt = attempt;
    m_timeout.start(timeoutMs);
    attempt->account->requestOAuthTokenWithDelegate(attempt);
    return true;
}

void RTTwitterAccountLogin::cancel()
{
    m_timeout.stop();
    if (!m_attempt)
        return;
    m_attempt->cancelled = true;
    // A new account's own handler must not start it when the answer comes.
    if (m_attempt->isNew)
        m_attempt->account->setIsDeleted(true);
    m_attempt.reset();
}

void RTTwitterAccountLogin::answered(bool success, const QVariantMap &result)
{
    m_timeout.stop();
    if (!success) {
        const auto attempt = std::move(m_attempt);
        if (attempt->isNew)
            discardNewAccount(attempt->account);
        else
            restoreStoredPassword(attempt->account);
        fail(failureSentence(result));
        return;
    }
    finishSuccess(result);
}

void RTTwitterAccountLogin::finishSuccess(const QVariantMap &result)
{
    const auto attempt = std::move(m_attempt);
    std::shared_ptr<RTServiceTwitter> account = attempt->account;
    // The screen name as Twitter writes it; the account may be known under it already.
    const QString name = result.value(QString::fromLatin1(kRTScreenNameKey)).toString();
    if (attempt->isNew) {
        const auto [token, secret] = account->oauthTokenPair();
        if (auto same = name.isEmpty() ? nullptr : knownAccount(m_store, name)) {
            discardNewAccount(account);
            same->setOAuthTokenPair(token, secret);
            account = same;
        } else {
            if (!name.isEmpty() && name != account->serviceId()) {
                // The tokens went to the keyring under the name the user typed.
                account->deleteKeychainItems();
                account->setServiceId(name);
                account->setOAuthTokenPair(token, secret);
            }
            m_store.addService(account);
        }
    }
    // The base class stores the password only: the Twitter account would ask for a new
    // token when it is running, and blank the one just received.
    if (!account->RTService::setServicePassword(attempt->password)) {
        if (attempt->isNew && m_store.services().contains(account))
            TAAccounts::removeAccount(m_store, account);
        fail(text(4));
        return;
    }
    account->setAuthFailureCount(0);
    account->setNeedsLogIn(false);
    if (!account->running() && !account->isDeleted())
        account->start();
    m_store.saveCachesToDisk();
    m_account = account;
    qCInfo(lcAccounts).noquote() << "logged in as" << account->serviceId();
    emit succeeded(TAAccounts::identifier(*account));
}

void RTTwitterAccountLogin::fail(const QString &sentence)
{
    m_errorSentence = sentence;
    emit failed(sentence);
}

QString RTTwitterAccountLogin::failureSentence(const QVariantMap &result)
{
    const QString failure =
        result.value(QString::fromLatin1(kRTOperationFailureMessageKey)).toString();
    const int status = result.value(QString::fromLatin1(kRTResponseStatusCodeKey)).toInt();
    if (failure == QLatin1String("Wrong System Time"))
        return text(6);
    // The request never got an answer (refused, dropped, no route).
    if (failure == localizedString("##RTRequestOperation:0##"))
        return text(8);
    if (status == 401)
        return text(7);
    if (status == 0 || failure == QLatin1String("Can't Connect to Twitter"))
        return text(8);
    return text(10).arg(failure.isEmpty() ? QStringLiteral("HTTP %1").arg(status) : failure);
}
