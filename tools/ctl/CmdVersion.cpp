#include "CtlCommand.h"

#include <QCoreApplication>

int cmdVersion(const QStringList &, QTextStream &out, QTextStream &)
{
    out << "talvoctl " << TALVO_VERSION << "\n";
    return 0;
}
