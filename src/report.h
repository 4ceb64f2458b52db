// Reading smartctl's report and printing the drive's figures.
#pragma once

#include <stdarg.h>
#include <stdio.h>

// Reads the open report from its first line to its end and prints the
// figures it finds to out, one message each. Returns how many it printed.
int read_report(FILE *report, FILE *out);

// Formats a message and writes it to f.
void say(FILE *f, const char *format, ...) __attribute__((format(printf, 2, 3)));
void vsay(FILE *f, const char *format, va_list ap);
