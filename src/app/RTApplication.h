#pragma once

class RTAppComponents;
class SettingsStore;

// The application class: runs once before the delegate sees any event.
class RTApplication
{
public:
    // Registers the shipped setting defaults and repairs inconsistent settings.
    static void initializeSettings(SettingsStore &settings);
    // initializeSettings on the shared store, then the sound alert manager.
    static void initializeClass(RTAppComponents &components);
};
