// The few things that differ between Windows and the POSIX port: which
// device a drive letter names, where smartctl's report goes and how it is
// removed, how the report is read as text, and how text reaches the console.
// Each operating system has its own file; the build picks one.
#pragma once

#include <stddef.h>
#include <stdio.h>

struct Report {
	char device[16];    // the device name smartctl is given
	char path[1024];    // the report file
	char command[4200]; // the command line that fills it
};

enum Prepared { PREPARED, REPORT_EXISTS, CANNOT_CREATE };

// Fills in the report for the drive letter and makes its file ready to be
// written. On CANNOT_CREATE, path says which file could not be made.
Prepared report_prepare(Report *r, char letter);

// Runs the command line through the command interpreter and returns the
// command's exit status, or -1 when it has none (it was killed, say).
int report_run(const Report *r);

// Opens the report file for reading as text.
FILE *report_open(const Report *r);

// Removes the report file, if it is there.
void report_remove(const Report *r);

// Reads up to size bytes of the report into s as text, a CR LF pair
// arriving as one LF. Returns how many it read, 0 at the end.
size_t read_text(char *s, size_t size, FILE *f);

// Writes n bytes of GBK text to f, readable on the console f stands for.
void write_text(FILE *f, const char *text, size_t n);
