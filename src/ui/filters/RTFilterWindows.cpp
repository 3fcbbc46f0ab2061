#include "ui/filters/RTFilterWindows.h"

#include "accounts/RTServiceRegistry.h"
#include "companion/RTCompanionClient.h"
#include "ui/RTWindowExtensions.h"
#include "ui/filters/RTCompanionFilterActions.h"
#include "ui/filters/RTFiltersPane.h"

#include <QCoreApplication>

void registerFilterWindows()
{
    static RTCompanionFilterActions actions(
        []() -> RTCompanionClient & { return RTCompanionClient::talvoService(); },
        []() -> RTServiceRegistry & { return RTServiceRegistry::shared(); });
    RTFilterActions::setShared(&actions);
    RTPreferencePane pane;
    pane.id = QStringLiteral("filters");
    pane.title = QCoreApplication::translate("RTFiltersPane", "Filters");
    pane.iconName = QStringLiteral("muted");
    pane.order = 60;
    pane.createPane = [](QWidget *parent) -> QWidget * {
        return new RTFiltersPane(RTCompanionClient::talvoService(), RTServiceRegistry::shared(),
                                 parent);
    };
    RTWindowExtensions::registerPreferencePane(std::move(pane));
}
