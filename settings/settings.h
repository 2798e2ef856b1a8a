// The settings file and the settings dialog.
#pragma once

void load_settings();
void save_settings();
void open_settings_dialog();  // returns when the dialog has been closed
