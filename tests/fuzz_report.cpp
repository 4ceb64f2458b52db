// libFuzzer target: any bytes as a smartctl report, all figures to a sink.
// Each input is read from the start with fresh state, as one run would.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "report.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	static FILE *sink = fopen("/dev/null", "w");
	if (size == 0)
		return 0;
	FILE *report = fmemopen(const_cast<uint8_t *>(data), size, "r");
	if (report == nullptr)
		return 0;
	read_report(report, sink);
	fclose(report);
	return 0;
}
