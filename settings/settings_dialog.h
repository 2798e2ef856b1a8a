// Handlers of the settings dialog, for the dialog itself and its tests.
#pragma once

#include <gtk/gtk.h>

// The open "iCalendar file" selection, or null.
extern GtkWidget *ics_file_selection;

void on_app_command_changed(GtkEntry *entry, gpointer unused);
void on_save_clicked(GtkButton *button, GtkOptionMenu *option_menu);
void on_change_ics_clicked(GtkButton *button, gpointer unused);
void on_ics_chosen(GtkButton *button, GtkFileSelection *file_selection);
void quit_nested_loop(GtkWidget *widget, gpointer unused);
