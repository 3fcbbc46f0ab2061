#pragma once

#include <QDialog>
#include <QList>

// The About window: the program's name, version and build, and the libraries it ships
// with, each with its version and licence.
class RTAboutWindow : public QDialog
{
    Q_OBJECT
public:
    struct Library
    {
        QString name;
        QString version;
        QString licence;
    };

    explicit RTAboutWindow(QWidget *parent = nullptr);

    // The program fills these in at start from the libraries it actually linked; Qt is
    // always listed.
    static void setLibraries(const QList<Library> &libraries);
    [[nodiscard]] static QList<Library> libraries();
    static void showAbout(QWidget *parent);
    [[nodiscard]] QString libraryText() const { return m_libraryText; }

private:
    QString m_libraryText;
};
