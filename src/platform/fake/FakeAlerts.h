#pragma once

#include "platform/Alerts.h"

#include <QStringList>

// Records every alert and answers at once with the configured replies.
class FakeAlerts : public Alerts
{
public:
    struct Information
    {
        QString message;
        QString informativeText;
        QString button;
    };
    struct Choice
    {
        QList<QObject *> accounts;
        QString userName;
        bool follow = false;
    };

    // Replies given to the next alerts.
    bool confirmReply = true;
    bool checkBoxReply = false;
    // Index into the offered accounts; out of range answers as cancelled.
    int chosenAccountIndex = 0;

    QList<Confirmation> confirmations;
    QList<Information> informations;
    QList<Choice> choices;

    void runConfirmation(const Confirmation &alert, std::function<void(bool, bool)> onEnd) override
    {
        confirmations.append(alert);
        if (onEnd)
            onEnd(confirmReply, checkBoxReply);
    }
    void runInformation(const QString &message, const QString &informativeText,
                        const QString &button) override
    {
        informations.append({message, informativeText, button});
    }
    void chooseAccount(const QList<QObject *> &accounts, const QString &userName, bool follow,
                       std::function<void(QObject *)> onEnd) override
    {
        choices.append({accounts, userName, follow});
        if (onEnd)
            onEnd(chosenAccountIndex >= 0 && chosenAccountIndex < accounts.size()
                      ? accounts.at(chosenAccountIndex)
                      : nullptr);
    }
};
