#pragma once

#include "model/RTMessage.h"
#include "timelines/RTMuteObject.h"

#include <QList>
#include <QString>

class RTCompanionClient;

// What the "mute for a period" menu on a message offers and does; the window draws it.
// Items in order: a status line (hidden unless a mute runs), a separator, one item per
// period and, when extending, the cancel item (0 seconds).
class RTTwitterMessageDatedFilterMenu
{
public:
    static constexpr int kStatusTag = 5001;
    static constexpr int kSeparatorTag = 5002;

    struct Item
    {
        QString title;
        qint64 seconds = -1; // -1: not a period (status line, separator)
        int tag = 0;
        bool hidden = false;
        bool enabled = true;
    };

    // The periods offered, in menu order, with their titles.
    [[nodiscard]] static QList<Item> periods();

    // A menu for the message's author.
    static RTTwitterMessageDatedFilterMenu
    createUserMuteMenu(RTCompanionClient &client, bool extended, const RTMessagePtr &message);
    // A menu for one hashtag of the message (with its "#").
    static RTTwitterMessageDatedFilterMenu createHashtagMuteMenu(RTCompanionClient &client,
                                                                 bool extended,
                                                                 const RTMessagePtr &message,
                                                                 const QString &hashtag);

    RTTwitterMessageDatedFilterMenu(RTCompanionClient &client, RTMessagePtr message, QString factor,
                                    QString datedFilterPredicate, bool toExtend);

    // Before showing: the status line tells the remaining time of a running mute.
    [[nodiscard]] QList<Item> items() const;
    // The running mute of this factor that covers the message, or null.
    [[nodiscard]] RTMuteObjectPtr findActiveMuteForMessage() const;
    // The user chose a period: a new mute, or (extending) a longer or cancelled one.
    void actOnFilter(qint64 seconds);

private:
    RTCompanionClient &m_client;
    RTMessagePtr m_message;
    QString m_factor;
    QString m_datedFilterPredicate;
    bool m_toExtend = false;
};
