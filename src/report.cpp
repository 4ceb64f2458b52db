// smartctl prints its tables at fixed columns, so the figures are taken from
// fixed positions of each line. Two passes find them: the first reads the
// attribute table down to the first "Logical" row of the Device Statistics
// (the data written), the second reads on from there for the data read, the
// wear and the temperatures.
#include "report.h"

#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

#include "messages.h"
#include "platform.h"

// Where the fields stand in a line, counted from 0.
enum {
	NAME_AT = 4, // attribute name, "Power_On_Hours"
	NAME_LEN = 14,
	HOURS_AT = 58, // its raw value
	HOURS_LEN = 9,
	KEY_AT = 32, // Device Statistics description, "Logical" and the rest
	KEY_LEN = 7,
	VALUE_AT = 13, // Device Statistics value, to the line's end
};

// What fun prints.
enum Kind { WRITTEN, READ, WEAR, CURRENT, HIGHEST, LOWEST };

static char buf[100];   // the current line, or a 99-character piece of it
static char check[8];   // its key field
static char hours[100]; // its name field
static char buff[100];  // the value text last handed to fun
static char num[100];   // the digits harvested from it
static int count1;      // "Highest" rows seen so far
static int count2;      // "Lowest " rows seen so far
static int printed;     // figures printed so far
static FILE *out;

// Copies positions from to from+len-1 of the current line into to, cut
// where the line ends.
static void take(char *to, size_t from, size_t len)
{
	size_t end = strlen(buf);
	size_t n = 0;
	for (; n < len && from + n < end; n++)
		to[n] = buf[from + n];
	to[n] = '\0';
}

// Returns where the value text of the current line starts when the line is
// a Device Statistics row with the given key, and 0 when it is not.
static size_t row(const char *key)
{
	return strcmp(check, key) == 0 ? VALUE_AT : 0;
}

static void figure(const char *format, int n)
{
	say(out, format, n);
	printed++;
}

// Prints the figure of the current line as the message of its kind. Every
// digit of the value text counts, wherever it stands; a text without any
// digit is a statistic the drive does not keep, and prints nothing.
static void fun(Kind kind, size_t at)
{
	static const char *const highest[] = {MSG_HIGHEST, MSG_HIGHEST_SHORT, MSG_HIGHEST_LONG};
	static const char *const lowest[] = {MSG_LOWEST, MSG_LOWEST_SHORT, MSG_LOWEST_LONG};

	take(buff, at, sizeof buff - 1);
	bool negative = false;
	size_t n = 0;
	for (const char *p = buff; *p != '\0'; p++) {
		if (*p < '0' || *p > '9')
			continue;
		if (n == 0 && p > buff && p[-1] == '-')
			negative = true;
		num[n++] = *p;
	}
	num[n] = '\0';

	// The nth "Highest" or "Lowest " row keeps the meaning of its place
	// even when an earlier one printed nothing.
	int place = kind == HIGHEST ? count1++ : kind == LOWEST ? count2++ : 0;
	if (n == 0)
		return;

	// strtoll saturates a count too long for 64 bits.
	long long count = strtoll(num, nullptr, 10);
	double gb = count / 2.0 / 1024.0 / 1024.0;
	// Wear and temperatures keep their sign and print as 32-bit numbers;
	// -128 is what drives write for a temperature they do not have.
	int value = (int)(unsigned)(negative ? -count : count);
	bool temperature = kind == CURRENT || kind == HIGHEST || kind == LOWEST;
	if (temperature && value == -128)
		return;

	switch (kind) {
	case WRITTEN:
	case READ:
		say(out, kind == WRITTEN ? MSG_WRITTEN_GB : MSG_READ_GB, gb);
		say(out, kind == WRITTEN ? MSG_WRITTEN_TB : MSG_READ_TB, gb / 1024.0);
		printed++;
		break;
	case WEAR:
		figure(MSG_WEAR, value);
		break;
	case CURRENT:
		figure(MSG_CURRENT, value);
		break;
	case HIGHEST:
		if (place < 3)
			figure(highest[place], value);
		break;
	case LOWEST:
		if (place < 3)
			figure(lowest[place], value);
		break;
	}
}

// Reads the next line and takes its key field.
static bool next_line(FILE *report)
{
	if (read_piece(buf, sizeof buf, report) == nullptr)
		return false;
	take(check, KEY_AT, KEY_LEN);
	return true;
}

int read_report(FILE *report, FILE *to)
{
	out = to;
	printed = count1 = count2 = 0;
	buf[0] = '\0';

	// The hours come from attribute 9 ("Power_On_Hours", or
	// "Power_On_Hours_and_Msec"), the first such row only.
	bool power = false;
	size_t at = 0;
	while (at == 0 && next_line(report)) {
		take(hours, NAME_AT, NAME_LEN);
		if (!power && strcmp(hours, "Power_On_Hours") == 0) {
			char text[HOURS_LEN + 1];
			take(text, HOURS_AT, HOURS_LEN);
			figure(MSG_HOURS, atoi(text));
			power = true;
		}
		at = row("Logical");
		if (at != 0)
			fun(WRITTEN, at);
	}

	// A drive without the general statistics page may still have the
	// others: then they are looked for from the top of the report.
	// The data read is the next "Logical" row after the data written.
	bool want_read = at != 0;
	if (!want_read)
		rewind(report);
	while (next_line(report)) {
		if ((at = row("Logical")) != 0) {
			if (want_read)
				fun(READ, at);
			want_read = false;
		} else if ((at = row("Percent")) != 0) {
			fun(WEAR, at);
		} else if ((at = row("Current")) != 0) {
			fun(CURRENT, at);
		} else if ((at = row("Highest")) != 0) {
			fun(HIGHEST, at);
		} else if ((at = row("Lowest ")) != 0) {
			fun(LOWEST, at);
		}
	}
	return printed;
}

void say(FILE *f, const char *format, ...)
{
	va_list ap;
	va_start(ap, format);
	vsay(f, format, ap);
	va_end(ap);
}

void vsay(FILE *f, const char *format, va_list ap)
{
	char text[8192];
	int n = vsnprintf(text, sizeof text, format, ap);
	if (n < 0)
		return;
	write_text(f, text, (size_t)n < sizeof text ? (size_t)n : sizeof text - 1);
}
