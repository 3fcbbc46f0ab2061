// talvoctl: scripting and diagnosis over the same code the program runs.
#include "CtlCommand.h"

#include "foundation/OperationQueue.h"

#include <QCoreApplication>
#include <cstdio>
#include <iterator>

namespace {
const CtlCommand kCommands[] = {
    {"--version", "talvoctl --version", cmdVersion},
    {"json", "talvoctl json [--fragment] [--human-readable] [--sort-keys] FILE|-", cmdJson},
    {"entities", "talvoctl entities TEXT", cmdEntities},
    {"timeago", "talvoctl timeago [--] SECONDS...", cmdTimeago},
    {"store", "talvoctl store [--dir DIR]", cmdStore},
    {"fetch",
     "talvoctl fetch [-X METHOD] [-H 'Name: value']... [-d name=value]... [--multipart] "
     "[--cacert FILE] [--timeout SECONDS] URL",
     cmdFetch},
    {"login", "talvoctl login --profile NAME SCREEN_NAME", cmdLogin},
    {"poll",
     "talvoctl poll --profile NAME --type home|mentions|inbox|outbox|sent|favorites|retweets|"
     "retweeted|list|search [--count N] [--account SCREEN_NAME] [--list OWNER/ID] [--query TEXT]",
     cmdPoll},
    {"watch", "talvoctl watch --profile NAME [--seconds N]", cmdWatch},
    {"oauth-sign",
     "talvoctl oauth-sign --method M --url URL [--form name=value]... --consumer-key K "
     "--consumer-secret S [--token T --token-secret TS] [--nonce N --timestamp T] [--no-version]",
     cmdOauthSign},
};

void printUsage(QTextStream &err)
{
    err << "usage:\n";
    for (const CtlCommand &c : kCommands)
        err << "  " << c.usage << "\n";
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Talvo"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        printUsage(err);
        return 2;
    }
    const QString name = args.takeFirst();
    for (const CtlCommand &c : kCommands) {
        if (name == QLatin1String(c.name)) {
            const int status = c.run(args, out, err);
            // Requests may still run; none may outlive main().
            OperationQueue::shutDownAll();
            return status;
        }
    }
    err << "talvoctl: unknown command '" << name << "'\n";
    printUsage(err);
    return 2;
}
