#include <io.h>

#include <cstdio>

#include "tools/qvhost/Console.h"

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }
