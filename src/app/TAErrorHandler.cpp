#include "app/TAErrorHandler.h"

#include "foundation/MainThread.h"
#include "platform/WindowLayer.h"

TAErrorHandler &TAErrorHandler::sharedHandler()
{
    // Function-local statics are created once even when first used from two threads.
    static TAErrorHandler handler;
    return handler;
}

void TAErrorHandler::show(const QString &message, const QStringList &buttons)
{
    runOnMainThread(
        [this, message, buttons] {
            if (!WindowLayer::hasShared())
                return;
            {
                QMutexLocker locker(&m_mutex);
                m_alertShowing = true;
            }
            WindowLayer::shared().showAlert(message, buttons, [this](int) {
                QMutexLocker locker(&m_mutex);
                m_alertShowing = false;
            });
        },
        false);
}

void TAErrorHandler::showErrorDialog(const QString &message)
{
    show(message, {QStringLiteral("OK")});
}

void TAErrorHandler::retryDialog(const QVariant &service, const QString &description,
                                 int requestType, const QVariant &parameters,
                                 const QVariant &delegate, int)
{
    {
        QMutexLocker locker(&m_mutex);
        m_alertContextInfo = {{QStringLiteral("service"), service},
                              {QStringLiteral("parameters"), parameters},
                              {QStringLiteral("delegate"), delegate},
                              {QStringLiteral("descript"), description},
                              {QStringLiteral("requestType"), requestType}};
    }
    show(description, {QStringLiteral("Retry"), QStringLiteral("Cancel")});
}

QVariantMap TAErrorHandler::alertContextInfo() const
{
    QMutexLocker locker(&m_mutex);
    return m_alertContextInfo;
}

bool TAErrorHandler::isShowingAlert() const
{
    QMutexLocker locker(&m_mutex);
    return m_alertShowing;
}
