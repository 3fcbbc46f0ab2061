#include "ui/prefs/RTAboutWindow.h"

#include "ui/RTUiIcons.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPointer>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {
QList<RTAboutWindow::Library> g_libraries;
QPointer<RTAboutWindow> g_about;
} // namespace

void RTAboutWindow::setLibraries(const QList<Library> &libraries)
{
    g_libraries = libraries;
}

QList<RTAboutWindow::Library> RTAboutWindow::libraries()
{
    QList<Library> all{{QStringLiteral("Qt"), QString::fromLatin1(qVersion()),
                        QStringLiteral("GNU LGPL version 3")}};
    for (const Library &library : g_libraries) {
        if (library.name != QLatin1String("Qt"))
            all.append(library);
    }
    return all;
}

RTAboutWindow::RTAboutWindow(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("About Talvo"));
    setAccessibleName(windowTitle());
    const int h = fontMetrics().height();
    auto *icon = new QLabel(this);
    icon->setPixmap(RTUiIcons::icon(QStringLiteral("talvo"), palette().color(QPalette::Highlight))
                        .pixmap(h * 4, h * 4));
    icon->setAlignment(Qt::AlignCenter);
    auto *name = new QLabel(QStringLiteral("Talvo"), this);
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    name->setFont(big);
    name->setAlignment(Qt::AlignCenter);
    auto *version = new QLabel(tr("Version %1").arg(QCoreApplication::applicationVersion()), this);
    version->setObjectName(QStringLiteral("aboutVersion"));
    version->setAlignment(Qt::AlignCenter);
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *blurb = new QLabel(tr("A desktop client for Twitter and other social networks."), this);
    blurb->setAlignment(Qt::AlignCenter);

    QString rows;
    for (const Library &library : libraries())
        rows += QStringLiteral("<tr><td><b>%1</b></td><td>%2</td><td>%3</td></tr>")
                    .arg(library.name.toHtmlEscaped(), library.version.toHtmlEscaped(),
                         library.licence.toHtmlEscaped());
    m_libraryText = QStringLiteral("<p>%1</p><table cellspacing=\"6\">%2</table>")
                        .arg(tr("Talvo is built on these libraries:"), rows);
    auto *list = new QTextBrowser(this);
    list->setObjectName(QStringLiteral("aboutLibraries"));
    list->setAccessibleName(tr("Libraries and licences"));
    list->setHtml(m_libraryText);
    list->setFrameShape(QFrame::NoFrame);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(icon);
    layout->addWidget(name);
    layout->addWidget(version);
    layout->addWidget(blurb);
    layout->addWidget(list, 1);
    layout->addWidget(buttons);
    resize(h * 32, h * 34);
}

void RTAboutWindow::showAbout(QWidget *parent)
{
    if (!g_about) {
        g_about = new RTAboutWindow(parent);
        g_about->setAttribute(Qt::WA_DeleteOnClose);
    }
    g_about->show();
    g_about->raise();
    g_about->activateWindow();
}
