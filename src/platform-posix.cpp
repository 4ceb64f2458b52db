// The POSIX port: the letter X names /dev/sdx, and the report goes to a
// fresh private file in $TMPDIR, so no earlier report or other file is read.
#include "platform.h"

#include <errno.h>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

// Appends s to the command line as one single-quoted shell word, each quote
// inside it written as '\''. Returns false when the line has no room.
static bool append_quoted(char *line, size_t size, const char *s)
{
	size_t n = strlen(line);
	auto put = [&](char c) {
		if (n + 1 >= size)
			return false;
		line[n++] = c;
		line[n] = '\0';
		return true;
	};
	if (!put('\''))
		return false;
	for (; *s != '\0'; s++) {
		bool ok = *s == '\'' ? put('\'') && put('\\') && put('\'') && put('\'') : put(*s);
		if (!ok)
			return false;
	}
	return put('\'');
}

Prepared report_prepare(Report *r, char letter)
{
	char lower = letter >= 'A' && letter <= 'Z' ? letter - 'A' + 'a' : letter;
	snprintf(r->device, sizeof r->device, "/dev/sd%c", lower);

	const char *dir = getenv("TMPDIR");
	if (dir == nullptr || *dir == '\0')
		dir = "/tmp";
	int n = snprintf(r->path, sizeof r->path, "%s/drivelife-XXXXXX", dir);
	if (n < 0 || (size_t)n >= sizeof r->path)
		return CANNOT_CREATE;
	int fd = mkstemp(r->path);
	if (fd < 0)
		return CANNOT_CREATE;
	close(fd);

	snprintf(r->command, sizeof r->command, "smartctl -x %s >> ", r->device);
	if (!append_quoted(r->command, sizeof r->command, r->path)) {
		unlink(r->path);
		return CANNOT_CREATE;
	}
	return PREPARED;
}

int report_run(const Report *r)
{
	int status = system(r->command);
	if (status == -1 || !WIFEXITED(status))
		return -1;
	return WEXITSTATUS(status);
}

FILE *report_open(const Report *r)
{
	return fopen(r->path, "r");
}

void report_remove(const Report *r)
{
	unlink(r->path);
}

// Windows reads the report in text mode; do the same so that a report with
// CR LF line ends gives the same lines on both systems.
size_t read_text(char *s, size_t size, FILE *f)
{
	size_t n = fread(s, 1, size, f);
	char *cr = (char *)memchr(s, '\r', n);
	if (cr == nullptr)
		return n;
	char *to = cr;
	char *end = s + n;
	for (char *from = cr; from < end; from++) {
		if (*from == '\r') {
			// A CR that ends the block pairs with an LF read next.
			bool last = from + 1 == end;
			int next = last ? getc(f) : (unsigned char)from[1];
			if (next == '\n') {
				*to++ = '\n';
				if (!last)
					from++;
				continue;
			}
			if (last && next != EOF)
				ungetc(next, f);
		}
		*to++ = *from;
	}
	return to - s;
}

// Whether f is a terminal whose locale (LC_ALL, LC_CTYPE or LANG) is
// UTF-8. The locale is only looked at, never set: numbers keep their ".".
static bool utf8_terminal(FILE *f)
{
	if (!isatty(fileno(f)))
		return false;
	locale_t locale = newlocale(LC_CTYPE_MASK, "", (locale_t)0);
	if (locale == (locale_t)0)
		return false;
	bool utf8 = strcmp(nl_langinfo_l(CODESET, locale), "UTF-8") == 0;
	freelocale(locale);
	return utf8;
}

// A UTF-8 terminal would show GBK bytes as garbage, so it gets the text
// converted; pipes, files and other terminals get the bytes unchanged.
void write_text(FILE *f, const char *text, size_t n)
{
	iconv_t cd = utf8_terminal(f) ? iconv_open("UTF-8", "GBK") : (iconv_t)-1;
	if (cd == (iconv_t)-1) {
		fwrite(text, 1, n, f);
		return;
	}
	char *in = const_cast<char *>(text);
	while (n > 0) {
		char utf8[1024];
		char *to = utf8;
		size_t room = sizeof utf8;
		size_t done = iconv(cd, &in, &n, &to, &room);
		fwrite(utf8, 1, to - utf8, f);
		// A byte that is no GBK (in smartctl's own text, say) goes out
		// as it is.
		if (done == (size_t)-1 && errno != E2BIG) {
			fputc(*in++, f);
			n--;
		}
	}
	iconv_close(cd);
}
