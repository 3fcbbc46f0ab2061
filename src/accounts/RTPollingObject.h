#pragma once

#include "accounts/RTService.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <limits>
#include <memory>

class RTPollingObject;
using RTPollingObjectPtr = std::shared_ptr<RTPollingObject>;

// One periodic request of a service: its interval, when it last ran, and the stored call
// that sends it. Lives on the main thread; the service timer asks it pollIfNeeded().
//
// The stored call is an operation with fixed arguments. Arguments are numbered as in an
// operation call (2 = first argument); parametersIndexes() says where "since",
// "pollObject", "pollingObject", "requestType", "userInfo" and "listObject" sit. The
// polling object's own position is filled with the object itself when the call runs, so
// a polling object never holds a strong reference to itself.
class RTPollingObject : public std::enable_shared_from_this<RTPollingObject>
{
public:
    using Operation = std::function<void(const QVariantList &arguments)>;

    // Objects that never become due by time (immediate searches and lists).
    static constexpr double kNeverDueInterval = std::numeric_limits<float>::max();

    // Names of the argument positions.
    static const QString kSinceParameter;
    static const QString kPollObjectParameter;
    static const QString kPollingObjectParameter;
    static const QString kRequestTypeParameter;
    static const QString kUserInfoParameter;
    static const QString kListObjectParameter;

    // A polling object of any kind; the factories below fill in the usual ones.
    RTPollingObject(qint32 requestType, RTService *service, double interval, Operation operation,
                    QVariantList arguments, QHash<QString, int> parametersIndexes);

    // The service's pollTimelineSince(since, pollObject, requestType, userInfo).
    template<class Service>
    [[nodiscard]] static RTPollingObjectPtr
    defaultPollingObjectWithRequestType(qint32 requestType, Service *service, double interval)
    {
        QPointer<Service> target(service);
        return std::make_shared<RTPollingObject>(
            requestType, asService(service), interval,
            [target](const QVariantList &a) {
                if (target)
                    target->pollTimelineSince(a.value(0).toString(), a.value(1), a.value(2).toInt(),
                                              a.value(3).toMap());
            },
            QVariantList{QVariant(), QVariant(), requestType, QVariant()},
            QHash<QString, int>{{kSinceParameter, 2},
                                {kPollObjectParameter, 3},
                                {kRequestTypeParameter, 4},
                                {kUserInfoParameter, 5}});
    }

    // A list group: the service's pollListSince(since, requestType).
    template<class Service>
    [[nodiscard]] static RTPollingObjectPtr
    defaultListPollingObjectOfType(qint32 requestType, Service *service, double interval)
    {
        QPointer<Service> target(service);
        return std::make_shared<RTPollingObject>(
            requestType, asService(service), interval,
            [target](const QVariantList &a) {
                if (target)
                    target->pollListSince(a.value(0).toString(), a.value(1).toInt());
            },
            QVariantList{QVariant(), requestType},
            QHash<QString, int>{{kSinceParameter, 2}, {kRequestTypeParameter, 3}});
    }

    // One search, polled on demand: search(pollingObject, userInfo). Request type 0.
    [[nodiscard]] static RTPollingObjectPtr defaultInmediateSearchPollObject(
        RTService *service,
        std::function<void(const QVariant &pollingObject, const QVariantMap &userInfo)> search);

    // One list, polled on demand: the service's pollList(list, pollingObject, userInfo).
    // Request type 46 (list statuses).
    template<class Service, class ListPtr>
    [[nodiscard]] static RTPollingObjectPtr
    defaultInmediateListPollObjectForList(const ListPtr &list, Service *service)
    {
        QPointer<Service> target(service);
        return std::make_shared<RTPollingObject>(
            kListStatusesRequestType, asService(service), kNeverDueInterval,
            [target](const QVariantList &a) {
                if (target)
                    target->pollList(a.value(0).template value<ListPtr>(), a.value(1),
                                     a.value(2).toMap());
            },
            QVariantList{QVariant::fromValue(list), QVariant(), QVariant()},
            QHash<QString, int>{
                {kListObjectParameter, 2}, {kPollingObjectParameter, 3}, {kUserInfoParameter, 4}});
    }

    // A job of the companion service: an operation without arguments. It first runs one
    // interval after creation.
    [[nodiscard]] static RTPollingObjectPtr
    pollingObjectForRequestType(qint32 requestType, RTService *service,
                                std::function<void()> operation, double interval);

    // --- polling ---
    // The timer's check: polls when active and the interval has passed since lastPoll.
    // Every third due poll goes without "since".
    void pollIfNeeded();
    // Polls now: lastPoll := now, "since" (when the call has one) := since.
    void pollSince(const QString &since);
    void poll() { pollSince(QString()); }
    // Polls now whatever the interval; passes no "since".
    void forcePoll() { poll(); }
    // Runs the stored call again as it last ran, lastPoll untouched; a userInfo argument
    // carries kRTBypassCredentialsCheckKey so it goes out while credentials are unverified.
    void refreshPoll();

    // --- fields ---
    [[nodiscard]] double initialPollingTimeInterval() const { return m_initialPollingTimeInterval; }
    [[nodiscard]] double currentTimeInterval() const { return m_currentTimeInterval; }
    void setCurrentTimeInterval(double seconds) { m_currentTimeInterval = seconds; }
    [[nodiscard]] QDateTime lastPoll() const { return m_lastPoll; }
    void setLastPoll(const QDateTime &date) { m_lastPoll = date; }
    [[nodiscard]] qint32 requestType() const { return m_requestType; }
    [[nodiscard]] RTService *service() const;
    [[nodiscard]] QString sinceString() const { return m_sinceString; }
    void setSinceString(const QString &since) { m_sinceString = since; }
    [[nodiscard]] QObject *delegate() const { return m_delegate; }
    void setDelegate(QObject *delegate) { m_delegate = delegate; }
    [[nodiscard]] bool isPolling() const { return m_isPolling; }
    void setIsPolling(bool on) { m_isPolling = on; }
    [[nodiscard]] bool isActive() const { return m_isActive; }
    // Switching on polls at once, so a source shown again gets its data.
    void setIsActive(bool active);
    [[nodiscard]] quint32 pollingCount() const { return m_pollingCount; }
    [[nodiscard]] QHash<QString, int> parametersIndexes() const { return m_parametersIndexes; }
    // The stored arguments, position 2 first.
    [[nodiscard]] QVariantList arguments() const { return m_arguments; }
    void setArgument(const QString &parameter, const QVariant &value);
    [[nodiscard]] QVariant argument(const QString &parameter) const;

private:
    static constexpr qint32 kListStatusesRequestType = 46;

    template<class Service> static RTService *asService(Service *service)
    {
        return qobject_cast<RTService *>(static_cast<QObject *>(service));
    }

    void invoke(QVariantList arguments);

    double m_initialPollingTimeInterval = 0;
    double m_currentTimeInterval = 0;
    QDateTime m_lastPoll;
    qint32 m_requestType = 0;
    QPointer<RTService> m_service;
    QString m_sinceString;
    Operation m_operation;
    QVariantList m_arguments;
    QPointer<QObject> m_delegate;
    bool m_isPolling = false;
    bool m_isActive = true;
    quint32 m_pollingCount = 0;
    QHash<QString, int> m_parametersIndexes;
};

Q_DECLARE_METATYPE(RTPollingObjectPtr)
