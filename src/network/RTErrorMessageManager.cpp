#include "network/RTErrorMessageManager.h"

#include "foundation/Clock.h"
#include "foundation/MainThread.h"
#include "foundation/RTGlobalVariables.h"
#include "network/RTRequestOperation.h"

#include <QCoreApplication>

RTErrorMessage::RTErrorMessage(QString description, QVariantMap requestResponseDictionary,
                               QVariantMap userInfoDictionary)
    : m_description(std::move(description))
    , m_requestResponseDictionary(std::move(requestResponseDictionary))
    , m_userInfoDictionary(std::move(userInfoDictionary))
{
}

RTErrorMessageManager::RTErrorMessageManager()
{
    if (auto *app = QCoreApplication::instance())
        moveToThread(app->thread());
}

RTErrorMessageManager &RTErrorMessageManager::sharedManager()
{
    static RTErrorMessageManager *manager = new RTErrorMessageManager;
    return *manager;
}

QString RTErrorMessageManager::identifierForMessage(const RTErrorMessagePtr &message,
                                                    const QString &contextString)
{
    const QString own = QString::asprintf("%p", static_cast<const void *>(message.get()));
    const QVariant operation =
        message->requestResponseDictionary().value(QString::fromLatin1(kRTRequestOperationKey));
    if (operation.canConvert<RTRequestOperationPtr>()) {
        if (const RTRequestOperationPtr op = operation.value<RTRequestOperationPtr>())
            return own + QString::asprintf("%p", static_cast<const void *>(op.get()));
    }
    // Dictionaries are values here and have no identity of their own; the context stands in.
    return own + contextString;
}

void RTErrorMessageManager::postErrorMessage(const RTErrorMessagePtr &message,
                                             const QString &contextString, bool flashStatus)
{
    if (!message)
        return;
    const QString identifier = identifierForMessage(message, contextString);
    bool added = false;
    {
        QMutexLocker locker(&m_lock);
        if (!m_entries.contains(identifier)) {
            m_entries.insert(
                identifier,
                {
                    {QString::fromLatin1(kRTErrorMessage), QVariant::fromValue(message)},
                    {QString::fromLatin1(kRTErrorMessagePostDate), Clock::currentDateTime()},
                    {QString::fromLatin1(kRTErrorMessageFlashStatus), flashStatus},
                    {QString::fromLatin1(kRTErrorMessageResendTries), 0},
                    {QString::fromLatin1(kRTErrorMessageContextString), contextString},
                    {QString::fromLatin1(kRTErrorMessageIdentifier), identifier},
                });
            m_order.append(identifier);
            m_errorMessages.append(message);
            while (m_errorMessages.size() > kMaxErrorMessages) {
                m_entries.remove(m_order.takeFirst());
                m_errorMessages.removeFirst();
            }
            added = true;
        }
    }
    // Observers read the list back: tell them outside the lock.
    if (added)
        runOnMainThread([this] { emit errorMessagesChanged(); }, false);
    restartHideTimer();
}

void RTErrorMessageManager::restartHideTimer()
{
    runOnMainThread(
        [this] {
            if (!m_hideTimer) {
                m_hideTimer = new QTimer(this);
                m_hideTimer->setSingleShot(true);
                m_hideTimer->setInterval(kHideStatusAlertMilliseconds);
                connect(m_hideTimer, &QTimer::timeout, this,
                        &RTErrorMessageManager::hideStatusAlert);
            }
            m_hideTimer->start();
            bool changed = false;
            {
                QMutexLocker locker(&m_lock);
                changed = m_shouldHideStatusAlert;
                m_shouldHideStatusAlert = false;
            }
            if (changed)
                emit shouldHideStatusAlertChanged(false);
        },
        false);
}

void RTErrorMessageManager::hideStatusAlert()
{
    {
        QMutexLocker locker(&m_lock);
        if (m_shouldHideStatusAlert)
            return;
        m_shouldHideStatusAlert = true;
    }
    emit shouldHideStatusAlertChanged(true);
}

bool RTErrorMessageManager::shouldHideStatusAlert() const
{
    QMutexLocker locker(&m_lock);
    return m_shouldHideStatusAlert;
}

QList<RTErrorMessagePtr> RTErrorMessageManager::errorMessagesArray() const
{
    QMutexLocker locker(&m_lock);
    return m_errorMessages;
}

QVariantMap RTErrorMessageManager::entryForIdentifier(const QString &identifier) const
{
    QMutexLocker locker(&m_lock);
    return m_entries.value(identifier);
}

void RTErrorMessageManager::removeAllErrorMessages()
{
    {
        QMutexLocker locker(&m_lock);
        m_entries.clear();
        m_order.clear();
        m_errorMessages.clear();
    }
    runOnMainThread([this] { emit errorMessagesChanged(); }, false);
}
