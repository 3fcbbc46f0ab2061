#pragma once

#include <QDialog>
#include <QHash>

class QLabel;
class QListWidget;
class QStackedWidget;
class RTAccountAdditionPage;

// The add-account sheet: the registered account kinds on the left, the chosen kind's page
// on the right. Closes (accepted) when the page has added its account; Cancel stops a
// log-in in flight.
class RTAccountAdditionSheet : public QDialog
{
    Q_OBJECT
public:
    explicit RTAccountAdditionSheet(QWidget *parent = nullptr);

    [[nodiscard]] QStringList kinds() const { return m_kinds; }
    // Shows the page of kind ("twitter"); false when no such kind is registered.
    bool selectKind(const QString &kind);
    [[nodiscard]] RTAccountAdditionPage *currentPage() const;
    [[nodiscard]] QString addedIdentifier() const { return m_added; }

    void reject() override;

signals:
    void accountAdded(const QString &identifier);

private:
    void showRow(int row);

    QListWidget *m_list;
    QStackedWidget *m_pages;
    QLabel *m_empty;
    QStringList m_kinds;
    QHash<QString, RTAccountAdditionPage *> m_created;
    QString m_added;
    bool m_busy = false;
};
