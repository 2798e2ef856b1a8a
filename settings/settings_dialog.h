// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Handlers of the settings dialog, for the dialog itself and its tests.
#pragma once

#include <gtk/gtk.h>

#include <string>

// The open "iCalendar file" or "iCalendar folder" selection, or null.
extern GtkWidget *ics_file_selection;

// `dialog` is the open dialog's own data, as connected.
void on_app_command_changed(GtkEntry *entry, gpointer dialog);
void on_save_clicked(GtkButton *button, gpointer dialog);
void on_change_ics_clicked(GtkButton *button, gpointer dialog);
void on_change_ics_folder_clicked(GtkButton *button, gpointer dialog);
void on_ics_chosen(GtkButton *button, GtkFileSelection *file_selection);

// The command is kept in the bytes of the user's locale, the entry shows
// UTF-8. Bytes that do not convert are shown replaced, and stay as they are
// until the text is edited; a character the locale cannot hold is saved as '?'.
std::string command_for_entry(const char *command);
std::string command_from_entry(const char *text);
