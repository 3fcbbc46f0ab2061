#include "ui/RTThemes.h"

#include <QApplication>
#include <QStyleFactory>

QPalette RTThemes::lightPalette()
{
    QPalette p;
    const QColor window(0xF4, 0xF5, 0xF7);
    const QColor base(0xFF, 0xFF, 0xFF);
    const QColor text(0x1D, 0x21, 0x27);
    const QColor accent(0x25, 0x6F, 0xD8);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, QColor(0xF7, 0xF8, 0xFA));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(0xFA, 0xFA, 0xFB));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Highlight, accent);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(0x1F, 0x63, 0xC6));
    p.setColor(QPalette::LinkVisited, QColor(0x6A, 0x3F, 0xB5));
    p.setColor(QPalette::PlaceholderText, QColor(0x6B, 0x72, 0x7C));
    p.setColor(QPalette::ToolTipBase, QColor(0xFF, 0xFF, 0xF4));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::Mid, QColor(0xD5, 0xD8, 0xDD));
    p.setColor(QPalette::Dark, QColor(0xB8, 0xBC, 0xC4));
    p.setColor(QPalette::Light, Qt::white);
    p.setColor(QPalette::Midlight, QColor(0xEC, 0xEE, 0xF1));
    p.setColor(QPalette::Shadow, QColor(0x9A, 0x9F, 0xA8));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0xA0, 0xA5, 0xAD));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0xA0, 0xA5, 0xAD));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0xA0, 0xA5, 0xAD));
    return p;
}

QPalette RTThemes::darkPalette()
{
    QPalette p;
    const QColor window(0x1E, 0x20, 0x24);
    const QColor base(0x17, 0x19, 0x1C);
    const QColor text(0xE6, 0xE8, 0xEB);
    const QColor accent(0x4C, 0x8D, 0xF0);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, QColor(0x1F, 0x22, 0x26));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(0x2A, 0x2D, 0x32));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Highlight, accent);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(0x7A, 0xB0, 0xFF));
    p.setColor(QPalette::LinkVisited, QColor(0xB3, 0x95, 0xF0));
    p.setColor(QPalette::PlaceholderText, QColor(0x92, 0x98, 0xA2));
    p.setColor(QPalette::ToolTipBase, QColor(0x2A, 0x2D, 0x32));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::Mid, QColor(0x3A, 0x3E, 0x45));
    p.setColor(QPalette::Dark, QColor(0x10, 0x11, 0x13));
    p.setColor(QPalette::Light, QColor(0x3A, 0x3E, 0x45));
    p.setColor(QPalette::Midlight, QColor(0x30, 0x33, 0x39));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x6A, 0x70, 0x78));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x6A, 0x70, 0x78));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x6A, 0x70, 0x78));
    return p;
}

void RTThemes::apply(bool dark)
{
    if (QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);
    QApplication::setPalette(dark ? darkPalette() : lightPalette());
}
