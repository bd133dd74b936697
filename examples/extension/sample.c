/* sample.c: a small extension library for qavz, written against the header
   shipped in include/. Build it beside the script that loads it with one
   command (from the top of the tree):

     cc -shared -fPIC -Iinclude -o examples/extension/libsample.so examples/extension/sample.c

   A script finds it as "sample.dll" (see use_sample.c). */
#include <string.h>

#include "qavz_extension.h"

static const qavz_host* host;

/* Called once by the runtime right after dll_load. */
QAVZ_EXPORT void qavz_extension_init(const qavz_host* h) { host = h; }

/* Two words in, one out. */
QAVZ_EXPORT int32_t mul_add(int32_t a, int32_t b, int32_t c) { return a * b + c; }

/* Sums `count` ints of a script array; -1 when they are not script memory. */
QAVZ_EXPORT int32_t sum_ints(uint32_t address, int32_t count) {
  const unsigned char* values;
  int32_t sum = 0;
  if (count < 0 || count > 0x10000) return -1;
  values = (const unsigned char*)qavz_pointer(host, address, (uint32_t)count * 4);
  if (!values) return -1;
  /* Script data need not be aligned: read each int with memcpy. */
  for (int32_t i = 0; i < count; ++i) {
    int32_t v;
    memcpy(&v, values + 4 * i, 4);
    sum += v;
  }
  return sum;
}

/* Turns a script string to upper case in place; its length, or -1. */
QAVZ_EXPORT int32_t upper(uint32_t address) {
  int32_t n = 0;
  for (;; ++n) {
    char* c = (char*)qavz_pointer(host, address + (uint32_t)n, 1);
    if (!c) return -1;
    if (*c == 0) return n;
    if (*c >= 'a' && *c <= 'z') *c = (char)(*c - 'a' + 'A');
  }
}

/* The screen width the title was configured with, from the information block. */
QAVZ_EXPORT int32_t screen_width(void) {
  uint32_t words[QAVZ_INFORMATION_WORDS] = {0};
  host->information(words);
  return (int32_t)words[4];
}
