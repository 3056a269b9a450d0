#pragma once

class QSettings;

// Names the application (and with it the settings store), sets version and window
// icon, then copies the earlier product's settings over once.
void applyApplicationIdentity();

// Copies every key of `legacy` that `current` does not have yet, then marks the
// import as done in `current`. Runs at most once per user; never writes `legacy`.
void importLegacySettings(QSettings &legacy, QSettings &current);
