// smartctl prints its tables at fixed columns, so the figures are taken from
// fixed positions of each line. Two passes find them: the first reads the
// attribute table down to the first "Logical" row of the Device Statistics
// (the data written), the second reads on from there for the data read, the
// wear and the temperatures. A report without such a row is read again from
// the top, for the other statistics and for an NVMe drive's health log.
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
	// Since smartctl 6.4 the rows start with "0x" and have a Flags column.
	FLAGS_KEY_AT = 37,
	FLAGS_VALUE_AT = 15,
};

// What fun prints.
enum Kind { WRITTEN, READ, WEAR, CURRENT, HIGHEST, LOWEST };

// The lines of an NVMe drive's health log that hold a figure, in the order
// the figures print.
static const char *const health_labels[] = {"Power On Hours:", "Data Units Written:",
                                            "Data Units Read:", "Percentage Used:", "Temperature:"};
enum { HEALTH_HOURS, HEALTH_WRITTEN, HEALTH_READ, HEALTH_WEAR, HEALTH_TEMPERATURE, HEALTH_LINES };

static char block[1 << 16]; // the report text read so far and not yet used
static size_t block_at;     // where the next line starts in it
static size_t block_end;    // how much of it holds text
static bool block_last;     // whether the report has no more text
static char buf[100];       // the current line, or a 99-character piece of it
static size_t len;          // its length
static char check[8];       // its key field
static char check2[8];      // its key field in the layout with flags
static char hours[100];     // its name field
static char buff[100];      // the value text last handed to fun
static char num[100];       // the digits harvested from it
static int count1;          // "Highest" rows seen so far
static int count2;          // "Lowest " rows seen so far
static int printed;         // figures printed so far
static FILE *out;

// Copies count characters from position from of the current line into to,
// cut where the line ends.
static void take(char *to, size_t from, size_t count)
{
	size_t n = from < len ? len - from : 0;
	if (n > count)
		n = count;
	memcpy(to, buf + from, n);
	to[n] = '\0';
}

// Returns where the value text of the current line starts when the line is
// a Device Statistics row with the given key, and 0 when it is not.
static size_t row(const char *key)
{
	// A key is seven characters, so the eight bytes with its terminator
	// decide.
	if (memcmp(check, key, sizeof check) == 0)
		return VALUE_AT;
	if (memcmp(check2, key, sizeof check2) == 0)
		return FLAGS_VALUE_AT;
	return 0;
}

// A harvested figure: every digit of a text, in order, as one count.
struct Figure {
	bool found;      // the text held a digit
	bool negative;   // a '-' stood right before the first one
	long long count; // saturated at the largest 64-bit count
};

// Harvests the digits of text up to the character stop or its end. Blanks,
// separators, flags and units are dropped wherever they stand.
static Figure harvest(const char *text, char stop)
{
	Figure f = {false, false, 0};
	size_t n = 0;
	for (const char *p = text; *p != '\0' && *p != stop; p++) {
		if (*p < '0' || *p > '9')
			continue;
		if (n == 0 && p > text && p[-1] == '-')
			f.negative = true;
		num[n++] = *p;
	}
	num[n] = '\0';
	f.found = n > 0;
	// strtoll saturates a count too long for 64 bits.
	f.count = strtoll(num, nullptr, 10);
	return f;
}

// The figure with its sign, as the 32-bit number "%d" prints.
static int value(Figure f)
{
	return (int)(unsigned)(f.negative ? -f.count : f.count);
}

static void figure(const char *format, int n)
{
	say(out, format, n);
	printed++;
}

static void volume(Kind kind, double gb)
{
	say(out, kind == WRITTEN ? MSG_WRITTEN_GB : MSG_READ_GB, gb);
	say(out, kind == WRITTEN ? MSG_WRITTEN_TB : MSG_READ_TB, gb / 1024.0);
	printed++;
}

// Prints the figure of the current line, whose value text starts at
// position at, as the message of its kind. A text without any digit is a
// statistic the drive does not keep, and prints nothing.
static void fun(Kind kind, size_t at)
{
	static const char *const highest[] = {MSG_HIGHEST, MSG_HIGHEST_SHORT, MSG_HIGHEST_LONG};
	static const char *const lowest[] = {MSG_LOWEST, MSG_LOWEST_SHORT, MSG_LOWEST_LONG};

	take(buff, at, sizeof buff - 1);
	Figure f = harvest(buff, '\0');

	// The nth "Highest" or "Lowest " row keeps the meaning of its place
	// even when an earlier one printed nothing.
	int place = kind == HIGHEST ? count1++ : kind == LOWEST ? count2++ : 0;
	if (!f.found)
		return;
	// -128 is what drives write for a temperature they do not have.
	bool temperature = kind == CURRENT || kind == HIGHEST || kind == LOWEST;
	if (temperature && value(f) == -128)
		return;

	switch (kind) {
	case WRITTEN:
	case READ:
		// The count is of 512-byte sectors; a GB here is 2^30 bytes.
		volume(kind, f.count / 2.0 / 1024.0 / 1024.0);
		break;
	case WEAR:
		figure(MSG_WEAR, value(f));
		break;
	case CURRENT:
		figure(MSG_CURRENT, value(f));
		break;
	case HIGHEST:
		if (place < 3)
			figure(highest[place], value(f));
		break;
	case LOWEST:
		if (place < 3)
			figure(lowest[place], value(f));
		break;
	}
}

// Takes the figure of the current line when it is the first of its label
// in an NVMe health log: the digits after the label, up to the size that
// smartctl adds in brackets.
static void health_line(Figure health[], bool seen[])
{
	for (int i = 0; i < HEALTH_LINES; i++) {
		size_t n = strlen(health_labels[i]);
		if (!seen[i] && strncmp(buf, health_labels[i], n) == 0) {
			seen[i] = true;
			health[i] = harvest(buf + n, '[');
		}
	}
}

// Prints the figures of an NVMe health log. One data unit is 1000
// sectors of 512 bytes.
static void print_health(const Figure health[], bool power)
{
	const double unit_gb = 512000.0 / 1024.0 / 1024.0 / 1024.0;
	if (health[HEALTH_HOURS].found && !power)
		figure(MSG_HOURS, (int)(unsigned)health[HEALTH_HOURS].count);
	if (health[HEALTH_WRITTEN].found)
		volume(WRITTEN, health[HEALTH_WRITTEN].count * unit_gb);
	if (health[HEALTH_READ].found)
		volume(READ, health[HEALTH_READ].count * unit_gb);
	if (health[HEALTH_WEAR].found)
		figure(MSG_WEAR, (int)(unsigned)health[HEALTH_WEAR].count);
	if (health[HEALTH_TEMPERATURE].found)
		figure(MSG_CURRENT, value(health[HEALTH_TEMPERATURE]));
}

// Whether a piece of a line might hold a figure: one of the keys at its
// key field, attribute 9's name, or an NVMe label. Most lines of a report
// do not, and are passed over without a closer look.
static bool worth_reading(const char *p, size_t n, bool nvme)
{
	auto key_letter = [](char c) { return c == 'L' || c == 'P' || c == 'C' || c == 'H'; };
	return (n > KEY_AT && key_letter(p[KEY_AT])) ||
	       (n > FLAGS_KEY_AT && p[0] == '0' && p[1] == 'x' && key_letter(p[FLAGS_KEY_AT])) ||
	       (n > NAME_AT && p[NAME_AT] == 'P') ||
	       (nvme && (p[0] == 'P' || p[0] == 'D' || p[0] == 'T'));
}

// Reads the next line that might hold a figure into buf, in pieces of at
// most 99 characters as fgets would give them, and takes its key fields.
// The report is read a block at a time. Returns false at its end.
static bool next_line(FILE *report, bool nvme)
{
	for (;;) {
		if (block_end - block_at < sizeof buf - 1 && !block_last) {
			memmove(block, block + block_at, block_end - block_at);
			block_end -= block_at;
			block_at = 0;
			while (block_end < sizeof block && !block_last) {
				size_t n = read_text(block + block_end, sizeof block - block_end,
				                     report);
				block_end += n;
				block_last = n == 0;
			}
		}
		if (block_at == block_end)
			return false;

		const char *p = block + block_at;
		size_t n = block_end - block_at;
		if (n > sizeof buf - 1)
			n = sizeof buf - 1;
		const char *newline = (const char *)memchr(p, '\n', n);
		if (newline != nullptr)
			n = newline - p + 1;
		block_at += n;
		if (!worth_reading(p, n, nvme))
			continue;

		memcpy(buf, p, n);
		buf[n] = '\0';
		len = strlen(buf);
		take(check, KEY_AT, KEY_LEN);
		check2[0] = '\0';
		if (strncmp(buf, "0x", 2) == 0)
			take(check2, FLAGS_KEY_AT, KEY_LEN);
		return true;
	}
}

// Reads the report again from its first line.
static void start_over(FILE *report)
{
	rewind(report);
	block_at = block_end = 0;
	block_last = false;
}

int read_report(FILE *report, FILE *to)
{
	out = to;
	printed = count1 = count2 = 0;
	buf[0] = '\0';
	len = 0;
	start_over(report);

	// The hours come from attribute 9 ("Power_On_Hours", or
	// "Power_On_Hours_and_Msec"), the first such row only.
	bool power = false;
	size_t at = 0;
	while (at == 0 && next_line(report, false)) {
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

	// The data read is the next "Logical" row after the data written. A
	// drive without the general statistics page may still have the other
	// pages, or be an NVMe drive: then the report is read again from the
	// top.
	bool want_read = at != 0;
	bool nvme = !want_read;
	Figure health[HEALTH_LINES] = {};
	bool seen[HEALTH_LINES] = {};
	if (nvme)
		start_over(report);
	while (next_line(report, nvme)) {
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
		} else if (nvme) {
			health_line(health, seen);
		}
	}
	if (nvme)
		print_health(health, power);
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
