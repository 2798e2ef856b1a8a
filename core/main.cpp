#include "core/core.h"
int main(int argc, char **argv) { parse_options(argc, argv); main_loop(); }
