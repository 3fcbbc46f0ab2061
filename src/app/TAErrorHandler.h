#pragma once

#include <QMutex>
#include <QVariantMap>

// Error alerts shown as sheets on the main window. Created on first use, from any thread.
class TAErrorHandler
{
public:
    static TAErrorHandler &sharedHandler();

    void showErrorDialog(const QString &message);
    // Offers "Retry" and "Cancel" for a failed request; the answer is not acted upon.
    void retryDialog(const QVariant &service, const QString &description, int requestType,
                     const QVariant &parameters, const QVariant &delegate, int statusCode);

    [[nodiscard]] QVariantMap alertContextInfo() const;
    [[nodiscard]] bool isShowingAlert() const;

private:
    TAErrorHandler() = default;
    void show(const QString &message, const QStringList &buttons);

    mutable QMutex m_mutex;
    QVariantMap m_alertContextInfo;
    bool m_alertShowing = false;
};
