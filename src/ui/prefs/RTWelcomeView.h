#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class RTTwitterAccountLogin;

// What the main window shows while there is no account: a greeting, "Add an account", and
// for the sandbox's host profile "Try the demo account", which logs the sandbox's demo
// user in without a terminal.
class RTWelcomeView : public QWidget
{
    Q_OBJECT
public:
    explicit RTWelcomeView(QWidget *parent = nullptr);

    [[nodiscard]] QPushButton *addButton() const { return m_add; }
    // Null unless the installed host profile is the sandbox.
    [[nodiscard]] QPushButton *demoButton() const { return m_demo; }
    [[nodiscard]] QString messageText() const;
    [[nodiscard]] bool isBusy() const;

    // The sandbox's demo account: $TALVO_DEMO_ACCOUNT or "alice", password "sandbox".
    [[nodiscard]] static QString demoScreenName();

    void tryDemoAccount();

signals:
    void addAccountRequested();

private:
    void setBusy(bool busy);

    QPushButton *m_add;
    QPushButton *m_demo = nullptr;
    QProgressBar *m_progress;
    QLabel *m_message;
    RTTwitterAccountLogin *m_login;
};
