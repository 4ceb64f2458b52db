// Windows: smartctl names the drive by its letter, and the command
// interpreter appends its report to c:\a.txt, which is then read and deleted.
#include "platform.h"

#include <io.h>
#include <stdlib.h>
#include <string.h>

Prepared report_prepare(Report *r, char letter)
{
	snprintf(r->device, sizeof r->device, "%c:", letter);
	strcpy(r->path, "c:\\a.txt");

	// A c:\a.txt already there is someone's own file. The redirection would
	// append to it, its rows would be read as the drive's, and the delete
	// would take it away.
	if (_access(r->path, 0) == 0)
		return REPORT_EXISTS;

	strcpy(r->command, "smartctl -x c: >> c:\\a.txt");
	r->command[12] = letter;
	return PREPARED;
}

int report_run(const Report *r)
{
	return system(r->command);
}

FILE *report_open(const Report *r)
{
	return fopen(r->path, "r");
}

void report_remove(const Report *r)
{
	// del complains on the console about a file that is not there.
	if (_access(r->path, 0) == 0)
		system("del /a/f/q C:\\a.txt");
}

// The report is open in text mode, so the C library itself turns CR LF
// into LF.
size_t read_text(char *s, size_t size, FILE *f)
{
	return fread(s, 1, size, f);
}

void write_text(FILE *f, const char *text, size_t n)
{
	fwrite(text, 1, n, f);
}
