// talvoctl: scripting and diagnosis over the same code the program runs.
#include "CtlCommand.h"

#include "foundation/OperationQueue.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <cstdio>
#include <iterator>

namespace {
const CtlCommand kCommands[] = {
    {"--version", "talvoctl --version", "print the version", cmdVersion},
    {"json", "talvoctl json [--fragment] [--human-readable] [--sort-keys] FILE|-",
     "read a JSON document and write it back, or say where reading stopped", cmdJson},
    {"entities", "talvoctl entities TEXT",
     "links, mentions, hashtags, e-mail addresses and stock symbols of a message text",
     cmdEntities},
    {"timeago", "talvoctl timeago [--] SECONDS...",
     "the age texts of a date that many seconds ago (negative: in the future)", cmdTimeago},
    {"store", "talvoctl store [--dir DIR]",
     "what a store folder holds; damaged files told from missing ones", cmdStore},
    {"fetch",
     "talvoctl fetch [-X METHOD] [-H 'Name: value']... [-d name=value]... [--multipart] "
     "[--cacert FILE] [--timeout SECONDS] URL",
     "one request through the HTTP engine", cmdFetch},
    {"login",
     "talvoctl login --profile NAME SCREEN_NAME | talvoctl login --kind facebook --profile NAME "
     "[--browser-user NAME [--deny]] [--timeout SECONDS]",
     "log a Twitter account in (the password from the terminal or standard input), or a "
     "Facebook account through the browser (printed address, or played with the password "
     "from standard input)",
     cmdLogin},
    {"accounts", "talvoctl accounts [--profile NAME] [list|remove ID]",
     "the accounts of the store; remove one with its keyring items and stored flags", cmdAccounts},
    {"settings", "talvoctl settings [list|get KEY|set KEY VALUE|reset KEY]",
     "read and change the settings the preferences window shows", cmdSettings},
    {"poll",
     "talvoctl poll --profile NAME --type home|mentions|inbox|outbox|sent|favorites|retweets|"
     "retweeted|list|search [--count N] [--account SCREEN_NAME] [--list OWNER/ID] [--query TEXT] "
     "| talvoctl poll --kind facebook --profile NAME [--account ID] [--count N]",
     "one timeline request of a logged-in account", cmdPoll},
    {"watch", "talvoctl watch --profile NAME [--seconds N] [--all-nodes]",
     "run the engine without windows and print messages as the timelines take them", cmdWatch},
    {"search", "talvoctl search --profile NAME [--account SCREEN_NAME] [--save] QUERY",
     "search Twitter through a logged-in account; --save keeps the query as a saved search",
     cmdSearch},
    {"post",
     "talvoctl post --profile NAME [--account SCREEN_NAME] [--reply-to ID] [--picture FILE] TEXT "
     "| talvoctl post --kind facebook --profile NAME [--account ID] TEXT",
     "post a tweet, reply or direct message through the compose line", cmdPost},
    {"filters",
     "talvoctl filters --profile NAME [list|mute USER|#TAG --for DURATION|highlight USER|#TAG "
     "--for DURATION|remove ID]",
     "list, add or remove dated mutes and highlights on the companion service", cmdFilters},
    {"translate", "talvoctl translate [--profile NAME] [--from LANG] [--to LANG] TEXT",
     "translate a text as a message is translated (tokens kept as written)", cmdTranslate},
    {"shrink", "talvoctl shrink [--profile NAME] TEXT",
     "ask the shrinking service for a shorter wording of a post", cmdShrink},
    {"expand", "talvoctl expand --profile NAME [--timeout SECONDS] [--no-cache] URL...",
     "where short links lead, and the picture of a picture page", cmdExpand},
    {"oauth-sign",
     "talvoctl oauth-sign --method M --url URL [--form name=value]... --consumer-key K "
     "--consumer-secret S [--token T --token-secret TS] [--nonce N --timestamp T] [--no-version]",
     "the OAuth base string, signature and header of a request", cmdOauthSign},
};

void printUsage(QTextStream &stream)
{
    stream << "usage: talvoctl [-v] COMMAND [ARGUMENTS]\n\ncommands:\n";
    for (const CtlCommand &c : kCommands)
        stream << "  " << qSetFieldWidth(12) << Qt::left << c.name << qSetFieldWidth(0) << c.summary
               << "\n";
    stream << "\n  -v, --verbose  show the debugging lines of every layer\n"
              "talvoctl help COMMAND or talvoctl COMMAND --help shows a command's usage.\n"
              "A profile NAME is a host profile file, \"real\", or \"sandbox\" (the one "
              "`make sandbox` writes).\n";
}

const CtlCommand *commandNamed(const QString &name)
{
    for (const CtlCommand &c : kCommands) {
        if (name == QLatin1String(c.name))
            return &c;
    }
    return nullptr;
}

bool isHelp(const QString &arg)
{
    return arg == QLatin1String("--help") || arg == QLatin1String("-h");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Talvo"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = app.arguments().mid(1);

    // Status lines and warnings by default; every layer's debugging lines with -v.
    bool verbose = false;
    while (!args.isEmpty() &&
           (args.first() == QLatin1String("-v") || args.first() == QLatin1String("--verbose"))) {
        verbose = true;
        args.removeFirst();
    }
    QLoggingCategory::setFilterRules(verbose ? QStringLiteral("talvo.*.debug=true")
                                             : QStringLiteral("talvo.*.debug=false"));

    if (args.isEmpty()) {
        printUsage(err);
        return 2;
    }
    const QString name = args.takeFirst();
    if (name == QLatin1String("help") || isHelp(name)) {
        if (args.isEmpty()) {
            printUsage(out);
            return 0;
        }
        if (const CtlCommand *c = commandNamed(args.first())) {
            out << "usage: " << c->usage << "\n" << c->summary << "\n";
            return 0;
        }
        err << "talvoctl: unknown command '" << args.first() << "'\n";
        return 2;
    }
    const CtlCommand *command = commandNamed(name);
    if (!command) {
        err << "talvoctl: unknown command '" << name << "'\n";
        printUsage(err);
        return 2;
    }
    // "--" ends the options: `talvoctl timeago -- --help` is an age, not a question.
    for (const QString &arg : std::as_const(args)) {
        if (arg == QLatin1String("--"))
            break;
        if (isHelp(arg)) {
            out << "usage: " << command->usage << "\n" << command->summary << "\n";
            return 0;
        }
    }
    const int status = command->run(args, out, err);
    // Requests may still run; none may outlive main().
    OperationQueue::shutDownAll();
    return status;
}
