#include "app/RTApplication.h"

#include "app/RTAppComponents.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"

namespace {
constexpr double kMaxMessageFontSize = 13.0;
}

void RTApplication::initializeSettings(SettingsStore &settings)
{
    settings.registerShippedDefaults();

    if (settings.floatForKey(TAMessageFontSizeKey) > kMaxMessageFontSize)
        settings.setFloat(TAMessageFontSizeKey, kMaxMessageFontSize);

    // The two layouts are exclusive, and the view type must match the one shown.
    const qint64 viewType = settings.integerForKey(RTCurrentViewTypeKey);
    const bool outline = settings.boolForKey(RTShowMainWindowOutlineKey);
    const bool sections = settings.boolForKey(RTShowMainWindowVerticalSectionsKey);
    bool consistent = outline != sections;
    if (viewType == 0 && !sections)
        consistent = false;
    if (viewType == 1 && !outline)
        consistent = false;
    if (!consistent) {
        settings.setBool(RTShowMainWindowOutlineKey, false);
        settings.setBool(RTShowMainWindowVerticalSectionsKey, true);
        settings.setInteger(RTCurrentViewTypeKey, 0);
        settings.removeObjectForKey(NSSplitViewOutlineFramesKey);
    }

    settings.setBool(NSShowNonLocalizedStringsKey, false);
}

void RTApplication::initializeClass(RTAppComponents &components)
{
    initializeSettings(SettingsStore::shared());
    components.createSoundAlertManager();
}
