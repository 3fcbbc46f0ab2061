#pragma once

#include <QObject>

class RTAppComponents;
class RTTalvoAppDelegate;

// The main menu's actions that are logic rather than presentation.
class RTMainMenuController : public QObject
{
    Q_OBJECT

public:
    // The maker's web pages.
    static constexpr const char *websiteUrl = "https://talvo.org/";
    static constexpr const char *feedbackUrl = "https://feedback.talvo.org/talvo";
    static constexpr const char *helpUrl = "https://talvo.org/help/osx";
    static constexpr const char *anywhereUrl = "https://api.talvo.org/website/guid/%1";

    RTMainMenuController(RTAppComponents &components, RTTalvoAppDelegate &delegate,
                         QObject *parent = nullptr);

    void refreshAll();
    void refreshCurrent();
    void markAllMessagesAsSeen();
    void synchronizeGroups();
    void synchronizeSearches();
    void synchronizeLists();
    void saveApplicationData();
    // Removes the application support folder and quits without saving; false (and
    // nothing changed) when the folder could not be removed.
    bool deleteApplicationData();

    void toggleShowUngroupedUsers();
    void toggleShowVerifiedUsers();
    void toggleShowTwitterSources();
    // Menu titles follow the settings.
    [[nodiscard]] static QString showUngroupedUsersTitle();
    [[nodiscard]] static QString showVerifiedUsersTitle();
    [[nodiscard]] static QString showTwitterSourcesTitle();
    [[nodiscard]] static QString viewTypeTitle();

    void checkForUpdates();
    void loginToTalvoAnywhere();
    void talvoWebsite();
    void talvoFeedback();
    void talvoHelp();
    void crashTalvo();
    void newTweet();
    void newDirectMessage();
    void showServiceAddition();

private:
    RTAppComponents &m_components;
    RTTalvoAppDelegate &m_delegate;
};
