#include "accounts/RTPollingObject.h"

#include "foundation/Clock.h"
#include "foundation/RTGlobalVariables.h"

#include <cmath>

const QString RTPollingObject::kSinceParameter = QStringLiteral("since");
const QString RTPollingObject::kPollObjectParameter = QStringLiteral("pollObject");
const QString RTPollingObject::kPollingObjectParameter = QStringLiteral("pollingObject");
const QString RTPollingObject::kRequestTypeParameter = QStringLiteral("requestType");
const QString RTPollingObject::kUserInfoParameter = QStringLiteral("userInfo");
const QString RTPollingObject::kListObjectParameter = QStringLiteral("listObject");

RTPollingObject::RTPollingObject(qint32 requestType, RTService *service, double interval,
                                 Operation operation, QVariantList arguments,
                                 QHash<QString, int> parametersIndexes)
    : m_initialPollingTimeInterval(interval)
    , m_currentTimeInterval(interval)
    , m_requestType(requestType)
    , m_service(service)
    , m_operation(std::move(operation))
    , m_arguments(std::move(arguments))
    , m_parametersIndexes(std::move(parametersIndexes))
{
}

RTPollingObjectPtr RTPollingObject::defaultInmediateSearchPollObject(
    RTService *service,
    std::function<void(const QVariant &pollingObject, const QVariantMap &userInfo)> search)
{
    return std::make_shared<RTPollingObject>(
        0, service, kNeverDueInterval,
        [search = std::move(search)](const QVariantList &a) {
            if (search)
                search(a.value(0), a.value(1).toMap());
        },
        QVariantList{QVariant(), QVariant()},
        QHash<QString, int>{{kPollingObjectParameter, 2}, {kUserInfoParameter, 3}});
}

RTPollingObjectPtr RTPollingObject::pollingObjectForRequestType(qint32 requestType,
                                                                RTService *service,
                                                                std::function<void()> operation,
                                                                double interval)
{
    auto object = std::make_shared<RTPollingObject>(
        requestType, service, interval,
        [operation = std::move(operation)](const QVariantList &) {
            if (operation)
                operation();
        },
        QVariantList(), QHash<QString, int>());
    object->m_lastPoll = Clock::currentDateTime();
    return object;
}

RTService *RTPollingObject::service() const
{
    return m_service.data();
}

void RTPollingObject::setArgument(const QString &parameter, const QVariant &value)
{
    const int position = m_parametersIndexes.value(parameter, -1) - 2;
    if (position < 0)
        return;
    while (m_arguments.size() <= position)
        m_arguments.append(QVariant());
    m_arguments[position] = value;
}

QVariant RTPollingObject::argument(const QString &parameter) const
{
    const int position = m_parametersIndexes.value(parameter, -1) - 2;
    return position < 0 ? QVariant() : m_arguments.value(position);
}

void RTPollingObject::setIsActive(bool active)
{
    if (m_isActive == active)
        return;
    m_isActive = active;
    if (active)
        poll();
}

void RTPollingObject::pollIfNeeded()
{
    if (!m_isActive)
        return;
    if (m_lastPoll.isValid()) {
        const double elapsed =
            std::abs(double(m_lastPoll.msecsTo(Clock::currentDateTime()))) / 1000.0;
        if (elapsed < m_currentTimeInterval)
            return;
    }
    ++m_pollingCount;
    if (m_pollingCount > 2) {
        m_pollingCount = 0;
        pollSince(QString());
    } else {
        pollSince(m_sinceString);
    }
}

void RTPollingObject::pollSince(const QString &since)
{
    m_lastPoll = Clock::currentDateTime();
    // Only a call that has a "since" argument gets one: the first argument of the
    // immediate kinds is the list or the polling object, not a since value.
    if (m_parametersIndexes.contains(kSinceParameter))
        setArgument(kSinceParameter, since.isNull() ? QVariant() : QVariant(since));
    invoke(m_arguments);
}

void RTPollingObject::refreshPoll()
{
    QVariantList arguments = m_arguments;
    const int position = m_parametersIndexes.value(kUserInfoParameter, -1) - 2;
    if (position >= 0) {
        while (arguments.size() <= position)
            arguments.append(QVariant());
        QVariantMap userInfo = arguments.at(position).toMap();
        userInfo.insert(QString::fromLatin1(kRTBypassCredentialsCheckKey), true);
        arguments[position] = userInfo;
    }
    invoke(std::move(arguments));
}

void RTPollingObject::invoke(QVariantList arguments)
{
    if (!m_operation)
        return;
    // The call may drop the last outside reference to this object (a sequence moving on).
    const RTPollingObjectPtr self = weak_from_this().lock();
    const QVariant me = self ? QVariant::fromValue(self) : QVariant();
    for (const QString &name : {kPollObjectParameter, kPollingObjectParameter}) {
        const int position = m_parametersIndexes.value(name, -1) - 2;
        if (position >= 0 && position < arguments.size())
            arguments[position] = me;
    }
    const Operation operation = m_operation;
    operation(arguments);
}
