#pragma once

// Registers the archive classes of the Twitter layer with ArchiveClassRegistry. Safe to
// call more than once.
void registerTwitterArchiveClasses();
