// Start-up, options, the main loop and the dispatch of button presses.
#pragma once

#include <cstdint>

void parse_options(int argc, char **argv);
void print_usage();
[[noreturn]] void main_loop();
void handle_button(unsigned button, int x, int y, uint64_t time);
