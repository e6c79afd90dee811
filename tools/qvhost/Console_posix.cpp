#include <unistd.h>

#include <cstdio>

#include "tools/qvhost/Console.h"

bool StderrIsTerminal() { return isatty(fileno(stderr)) != 0; }
