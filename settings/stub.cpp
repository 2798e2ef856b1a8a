// Placeholder until the settings land.
#include "settings/settings.h"
void load_settings() {}
void save_settings() {}
void open_settings_dialog() {}
