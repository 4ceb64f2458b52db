// A stand-in for smartctl in the tests. It writes its arguments to args.txt
// in the current directory, prints the report saved in report.txt there
// (as text, so on Windows each line ends in CR LF as smartctl's own do) and
// exits with the status written in status.txt, 0 when there is none.
//
// With the status "vanish" it removes the file its output goes to before it
// exits (on Linux only), as if someone deleted the report under drivelife.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#ifdef __linux__
#include <unistd.h>
#endif

int main(int argc, char **argv)
{
	FILE *args = fopen("args.txt", "w");
	for (int i = 1; i < argc; i++)
		fprintf(args, i > 1 ? " %s" : "%s", argv[i]);
	fprintf(args, "\n");
	fclose(args);

	FILE *report = fopen("report.txt", "rb");
	if (report != nullptr) {
		int c;
		while ((c = getc(report)) != EOF)
			putchar(c);
		fclose(report);
	}
	fflush(stdout);

	char status[32] = "0";
	FILE *f = fopen("status.txt", "r");
	if (f != nullptr) {
		if (fscanf(f, "%31s", status) != 1)
			strcpy(status, "0");
		fclose(f);
	}
#ifdef __linux__
	if (strcmp(status, "vanish") == 0) {
		char path[4096];
		ssize_t n = readlink("/proc/self/fd/1", path, sizeof path - 1);
		if (n > 0) {
			path[n] = '\0';
			unlink(path);
		}
		return 0;
	}
#endif
	return atoi(status);
}
