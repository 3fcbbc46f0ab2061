#pragma once

#include <QIcon>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class RTService;

// Windows that other parts of the program add to: pages of the add-account sheet (one per
// account kind) and panes of the preferences window. Each part registers its factories
// once at start from the program's main; the windows ask for them when they open.

// One page of the add-account sheet. The sheet shows the page, calls begin(), and closes
// when the page reports accountAdded or the user cancels (cancel() is called then).
class RTAccountAdditionPage : public QWidget
{
    Q_OBJECT
public:
    using QWidget::QWidget;
    // Stops any log-in in flight; nothing half-done may stay in the keyring or the store.
    virtual void cancel() = 0;
    virtual void begin() {}
    // Turns the page into a log-in again of this existing account: its name is fixed and
    // only its log-in is replaced; accountAdded then names that account. False when the
    // page cannot do that for this account.
    virtual bool renewAccount(const std::shared_ptr<RTService> &account)
    {
        Q_UNUSED(account);
        return false;
    }

signals:
    // identifier: the new account's `identifier`.
    void accountAdded(const QString &identifier);
    // A sentence that says what went wrong and what to do.
    void failed(const QString &sentence);
    void busyChanged(bool busy);
};

struct RTAccountKind
{
    QString kind;  // stable key, e.g. "twitter"
    QString title; // shown to the user, e.g. "Twitter"
    QString iconName;
    int order = 100;
    std::function<RTAccountAdditionPage *(QWidget *parent)> createPage;
    // The serviceType of the accounts the page makes; -1 for none in particular. The page
    // of an account's type logs it in again.
    int serviceType = -1;
};

struct RTPreferencePane
{
    QString id; // stable key, e.g. "filters"
    QString title;
    QString iconName;
    int order = 100;
    std::function<QWidget *(QWidget *parent)> createPane;
};

class RTWindowExtensions
{
public:
    // A second registration with the same key replaces the first.
    static void registerAccountKind(RTAccountKind kind);
    static void registerPreferencePane(RTPreferencePane pane);
    // Sorted by order, then title.
    static std::vector<RTAccountKind> accountKinds();
    static std::vector<RTPreferencePane> preferencePanes();
    static void clearForTesting();
};
