// Placeholder until the core lands.
#include "core/core.h"
void parse_options(int, char **) {}
void print_usage() {}
void main_loop() { for (;;) {} }
void handle_button(unsigned, int, int, uint64_t) {}
