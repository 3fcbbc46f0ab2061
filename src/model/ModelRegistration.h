#pragma once

// Registers the model's archivable classes (the user records) with the archive.
void registerModelArchiveClasses();
