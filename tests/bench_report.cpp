// Reads one report file with the report reader, figures to /dev/null, so
// that the benchmark can time the reading alone.
#include <stdio.h>

#include "report.h"

int main(int argc, char **argv)
{
	if (argc != 2) {
		fprintf(stderr, "usage: bench-report REPORT\n");
		return 2;
	}
	FILE *report = fopen(argv[1], "r");
	FILE *sink = fopen("/dev/null", "w");
	if (report == nullptr || sink == nullptr) {
		perror(argv[1]);
		return 1;
	}
	return read_report(report, sink) > 0 ? 0 : 1;
}
