#pragma once

#include <QStringList>
#include <QTextStream>

// One talvoctl subcommand: takes the arguments after its name, writes to out and err,
// returns the exit code.
struct CtlCommand
{
    const char *name;
    const char *usage;
    const char *summary; // one line for `talvoctl help`
    int (*run)(const QStringList &args, QTextStream &out, QTextStream &err);
};

// Subcommands, each defined in its own Cmd*.cpp file. Add a line here and one in the
// table of main.cpp.
int cmdVersion(const QStringList &args, QTextStream &out, QTextStream &err);
int cmdTimeago(const QStringList &args, QTextStream &out, QTextStream &err);
int cmdOauthSign(const QStringList &args, QTextStream &out, QTextStream &err);
int cmdEntities(const QStringList &args, QTextStream &out, QTextStream &err);
int cmdStore(const QStringList &args, QTextStream &out, QTextStream &err);
int cmdFetch(const QStringList &args, QTextStream &out, QTextStream &err);
int cmdJson(const QStringList &args, QTextStream &out, QTextStream &err);
int cmdLogin(const QStringList &args, QTextStream &out, QTextStream &err);
int cmdPoll(const QStringList &args, QTextStream &out, QTextStream &err);
int cmdWatch(const QStringList &args, QTextStream &out, QTextStream &err);
int cmdPost(const QStringList &args, QTextStream &out, QTextStream &err);
int cmdSearch(const QStringList &args, QTextStream &out, QTextStream &err);
int cmdFilters(const QStringList &args, QTextStream &out, QTextStream &err);
// The Facebook forms of login, poll and post (CmdFacebook.cpp), chosen by --kind facebook.
int cmdLoginFacebook(const QStringList &args, QTextStream &out, QTextStream &err);
int cmdPollFacebook(const QStringList &args, QTextStream &out, QTextStream &err);
int cmdPostFacebook(const QStringList &args, QTextStream &out, QTextStream &err);
// Prints the posts of the stored Facebook accounts as their feeds bring them, for watch;
// returns how many accounts have a token.
int watchFacebookAccounts(QObject *context, QTextStream &out, QTextStream &err);
// True when args hold "--kind facebook".
bool isFacebookKind(const QStringList &args);
int cmdTranslate(const QStringList &args, QTextStream &out, QTextStream &err);
int cmdShrink(const QStringList &args, QTextStream &out, QTextStream &err);
int cmdExpand(const QStringList &args, QTextStream &out, QTextStream &err);
int cmdAccounts(const QStringList &args, QTextStream &out, QTextStream &err);
int cmdSettings(const QStringList &args, QTextStream &out, QTextStream &err);
