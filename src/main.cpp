// drivelife: shows the lifetime and health figures of one drive, read from
// the report of "smartctl -x".
#include <stdarg.h>
#include <stdio.h>

#include "messages.h"
#include "platform.h"
#include "report.h"

// Writes an error message to standard error, after whatever standard output
// holds, so that a console shows the two in order.
static void error(const char *format, ...) __attribute__((format(printf, 1, 2)));
static void error(const char *format, ...)
{
	fflush(stdout);
	va_list ap;
	va_start(ap, format);
	vsay(stderr, format, ap);
	va_end(ap);
}

// Reads and drops the rest of the input line.
static void drop_line()
{
	int c;
	while ((c = getchar()) != EOF && c != '\n')
		;
}

// Asks for a drive letter until one is typed. Only the first byte of the
// answer counts, and only an ASCII letter ever reaches the command line.
// Returns 0 when the input ends first.
static char ask_letter()
{
	for (;;) {
		say(stdout, MSG_PROMPT);
		fflush(stdout);
		int c = getchar();
		if (c == EOF)
			return 0;
		if (c != '\n')
			drop_line();
		if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
			return (char)c;
		error(MSG_BAD_LETTER);
	}
}

// smartctl's exit status is a bit mask. Bits 0 and 1 say that it could not
// read the drive at all; the higher bits are news about the drive itself.
// Anything outside a byte, or the shell's 126 and 127, is a failed start.
static bool smartctl_failed(int status)
{
	return status < 0 || status > 255 || (status & 3) != 0;
}

// Copies the report to standard error: smartctl's own words say what went
// wrong.
static void show_report(FILE *report)
{
	char piece[4096];
	size_t n;
	fflush(stdout);
	while ((n = fread(piece, 1, sizeof piece, report)) > 0)
		write_text(stderr, piece, n);
}

// Runs smartctl on the drive and prints the figures of its report. Returns
// the exit status of the run.
static int check(char letter)
{
	Report r;
	switch (report_prepare(&r, letter)) {
	case PREPARED:
		break;
	case REPORT_EXISTS:
		error(MSG_REPORT_EXISTS);
		return 1;
	case CANNOT_CREATE:
		error(MSG_CANNOT_OPEN, r.path);
		return 1;
	}

	int status = report_run(&r);
	FILE *report = report_open(&r);
	if (report == nullptr) {
		error(MSG_CANNOT_OPEN, r.path);
		report_remove(&r);
		return 1;
	}
	int found = 0;
	bool failed = smartctl_failed(status);
	if (failed) {
		error(MSG_SMARTCTL_FAILED, r.device, status);
		show_report(report);
	} else {
		found = read_report(report, stdout);
	}
	fclose(report);
	report_remove(&r);

	if (failed)
		return 1;
	if (found == 0) {
		error(MSG_NOTHING_FOUND);
		return 1;
	}
	return 0;
}

int main()
{
	char letter = ask_letter();
	int status = 1;
	if (letter == 0)
		error(MSG_NO_LETTER);
	else
		status = check(letter);

	// Figures that never reached the screen or the file are a failure.
	if (fflush(stdout) != 0 || ferror(stdout)) {
		error(MSG_OUTPUT_FAILED);
		status = 1;
	}

	// Keep the console window open until the user has read it; there is
	// nothing to read when no drive was asked for.
	if (letter != 0)
		drop_line();
	return status;
}
