// talvoctl accounts: the accounts of the store, and their removal with their keyring items.
#include "CtlCommand.h"
#include "CtlTwitterSession.h"

#include "store/TAAccounts.h"
#include "store/TADataManager.h"

int cmdAccounts(const QStringList &args, QTextStream &out, QTextStream &err)
{
    const char *usage = "usage: talvoctl accounts [--profile NAME] [list|remove ID]\n";
    QString profile;
    QStringList words;
    for (int i = 0; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--profile") && i + 1 < args.size())
            profile = args.at(++i);
        else if (args.at(i).startsWith(QLatin1Char('-'))) {
            err << usage;
            return 2;
        } else
            words << args.at(i);
    }
    const QString verb = words.value(0, QStringLiteral("list"));
    const bool list = verb == QLatin1String("list") && words.size() == 1;
    const bool remove = verb == QLatin1String("remove") && words.size() == 2;
    if (!(list || remove || words.isEmpty())) {
        err << usage;
        return 2;
    }
    if (!CtlTwitterSession::setUp(profile, err))
        return 1;
    TADataManager &store = TADataManager::sharedManager();
    if (!store.servicesRestoreError().isEmpty()) {
        // Writing now would replace the file that could not be read.
        err << "talvoctl accounts: " << store.servicesRestoreError() << "\n";
        return 1;
    }
    if (!remove) {
        for (const RTServicePtr &service : TAAccounts::userAccounts(store))
            out << TAAccounts::identifier(*service) << "\t" << service->serviceName() << "\t"
                << service->effectiveHostProfile() << "\n";
        return 0;
    }
    bool ambiguous = false;
    const RTServicePtr account = TAAccounts::findAccount(store, words.at(1), &ambiguous);
    if (!account) {
        err << "talvoctl accounts: "
            << (ambiguous ? "more than one account is called " : "no account is called ")
            << words.at(1)
            << (ambiguous ? "; name it as KIND:ID (see talvoctl accounts list)\n" : "\n");
        return 1;
    }
    const TAAccounts::Removal removal = TAAccounts::removeAccount(store, account);
    if (!removal.keychainCleared) {
        err << "talvoctl accounts: " << removal.message << "\n";
        return 1;
    }
    out << "removed " << TAAccounts::identifier(*account) << "\n";
    return 0;
}
