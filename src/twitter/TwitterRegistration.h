#pragma once

// Registers the archive classes of the Twitter layer with ArchiveClassRegistry. Safe to
// call more than once.
void registerTwitterArchiveClasses();

// Registers the Twitter request operation with the request factory, so accounts can send.
// Safe to call more than once.
void registerTwitterRequestClasses();
