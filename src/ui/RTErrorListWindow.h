#pragma once

#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;

// The list of failed requests, newest first, kept current with the error message
// manager. The status line's error button opens it.
class RTErrorListWindow : public QDialog
{
    Q_OBJECT
public:
    explicit RTErrorListWindow(QWidget *parent = nullptr);

    [[nodiscard]] QListWidget *list() const { return m_list; }

public slots:
    void reload();

private:
    QListWidget *m_list;
    QLabel *m_emptyLabel;
    QPushButton *m_clearButton;
};
