#include "CtlCommand.h"

#include "foundation/Clock.h"
#include "model/TimeCalculator.h"

#include <cmath>

// Prints the age texts of dates the given numbers of seconds ago (negative: in the
// future): a header line, then per age the seconds given, the compact, single unit,
// single unit "ago" and expanded texts, tab-separated.
int cmdTimeago(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QStringList ages = args;
    if (!ages.isEmpty() && ages.first() == QLatin1String("--"))
        ages.removeFirst();
    if (ages.isEmpty()) {
        err << "talvoctl timeago: give at least one age in seconds\n";
        return 2;
    }
    QList<double> seconds;
    for (const QString &text : std::as_const(ages)) {
        bool ok = false;
        const double value = text.toDouble(&ok);
        // Beyond a few million years QDateTime cannot hold the date.
        if (!ok || !std::isfinite(value) || std::fabs(value) > 1e14) {
            err << "talvoctl timeago: '" << text << "' is not an age in seconds\n";
            return 2;
        }
        seconds.append(value);
    }
    const QDateTime now = Clock::currentDateTime();
    out << "seconds\tcompact\tsingle unit\tago\texpanded\n";
    for (int i = 0; i < seconds.size(); ++i) {
        const QVariant date = now.addMSecs(-qint64(std::llround(seconds.at(i) * 1000)));
        out << ages.at(i) << '\t' << TimeCalculator::parseDateString(date) << '\t'
            << TimeCalculator::longParseDateString(date) << '\t'
            << TimeCalculator::longAgoParseDateString(date) << '\t'
            << TimeCalculator::expandedDateStringWithDate(date) << '\n';
    }
    return 0;
}
