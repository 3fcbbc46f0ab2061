// talvoctl translate and talvoctl shrink: the translation and shrinking requests the
// program makes, for scripts.
#include "CtlCommand.h"

#include "foundation/HostProfile.h"
#include "foundation/StringAdditions.h"
#include "http/HttpRequest.h"
#include "platform/TAUtility.h"
#include "sharing/RTTweetShrinkRequestOperation.h"
#include "sharing/RTTwitterMessageTranslationRequestOperation.h"

namespace {

struct Arguments
{
    QString profile;
    QString from;
    QString to;
    QStringList words;
};

// Options with a value, then the text; false on an unknown option.
bool parse(const QStringList &args, bool languages, Arguments *out)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        const bool hasValue = i + 1 < args.size();
        if (arg == QLatin1String("--profile") && hasValue)
            out->profile = args.at(++i);
        else if (languages && arg == QLatin1String("--from") && hasValue)
            out->from = args.at(++i);
        else if (languages && arg == QLatin1String("--to") && hasValue)
            out->to = args.at(++i);
        else if (arg == QLatin1String("--")) {
            out->words << args.mid(i + 1);
            break;
        } else if (arg.startsWith(QLatin1String("--")))
            return false;
        else
            out->words << arg;
    }
    return true;
}

bool installProfile(const QString &name, QTextStream &err)
{
    QString error;
    const HostProfile profile = HostProfile::named(name, &error);
    if (profile.isEmpty()) {
        err << error << "\n";
        return false;
    }
    HostProfile::setCurrent(profile);
    if (!profile.caBundle().isEmpty())
        HttpRequest::setDefaultCaBundle(profile.caBundle());
    return true;
}

} // namespace

// Prints the translation of the text; hashtags, mentions and stock symbols are kept as
// written, as for a tweet.
int cmdTranslate(const QStringList &args, QTextStream &out, QTextStream &err)
{
    static constexpr char kUsage[] =
        "usage: talvoctl translate [--profile NAME] [--from LANG] [--to LANG] TEXT\n";
    Arguments a;
    if (!parse(args, true, &a) || a.words.join(QLatin1Char(' ')).trimmed().isEmpty()) {
        err << kUsage;
        return 2;
    }
    if (!installProfile(a.profile, err))
        return 2;
    RTTwitterMessageTranslationRequestOperation::Tokens tokens;
    const QString text = a.words.join(QLatin1Char(' '));
    auto operation = std::make_shared<RTTextTranslationRequestOperation>();
    operation->setTextToTranslate(
        RTTwitterMessageTranslationRequestOperation::protectTokens(text, &tokens));
    operation->setSourceLanguage(a.from);
    operation->setTargetLanguage(a.to.isEmpty() ? TAUtility::preferedSystemLanguage() : a.to);
    operation->main(); // on this thread: the command has nothing else to do
    if (operation->translatedText().isNull()) {
        err << "talvoctl translate: " << operation->failureReason() << "\n";
        return 1;
    }
    out << stringByUnescapingHTML(RTTwitterMessageTranslationRequestOperation::restoreTokens(
               operation->translatedText(), tokens))
        << "\n";
    return 0;
}

// Prints the shrunken text, and on standard error how many characters it saved.
int cmdShrink(const QStringList &args, QTextStream &out, QTextStream &err)
{
    static constexpr char kUsage[] = "usage: talvoctl shrink [--profile NAME] TEXT\n";
    Arguments a;
    if (!parse(args, false, &a) || a.words.join(QLatin1Char(' ')).trimmed().isEmpty()) {
        err << kUsage;
        return 2;
    }
    if (!installProfile(a.profile, err))
        return 2;
    auto operation = std::make_shared<RTTweetShrinkRequestOperation>();
    operation->setTextToShrink(a.words.join(QLatin1Char(' ')));
    operation->main();
    const QString shrunk = operation->shrunkenText();
    if (shrunk.trimmed().isEmpty()) {
        const QString reason = operation->failureReason();
        err << "talvoctl shrink: "
            << (reason.isEmpty() ? QStringLiteral("the service gave no shorter text") : reason)
            << "\n";
        return 1;
    }
    out << shrunk << "\n";
    err << "saved " << operation->charactersDifference() << " characters\n";
    return 0;
}
