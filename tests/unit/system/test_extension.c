/* An extension library for the tests: functions of 0, 2 and 16 arguments
 * whose results show the order the arguments came in, and functions that
 * reach script memory and the information block through the host. */
#include <string.h>

#include "include/qavz_extension.h"

static const qavz_host* host;

QAVZ_EXPORT void qavz_extension_init(const qavz_host* h) { host = h; }

QAVZ_EXPORT int32_t answer(void) { return 42; }

QAVZ_EXPORT int32_t subtract(int32_t a, int32_t b) { return a - b; }

/* Each argument times its position: only the right order gives 1496 for 1 .. 16. */
QAVZ_EXPORT int32_t weigh16(int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5, int32_t a6, int32_t a7,
                            int32_t a8, int32_t a9, int32_t a10, int32_t a11, int32_t a12, int32_t a13,
                            int32_t a14, int32_t a15, int32_t a16) {
  return a1 + 2 * a2 + 3 * a3 + 4 * a4 + 5 * a5 + 6 * a6 + 7 * a7 + 8 * a8 + 9 * a9 + 10 * a10 + 11 * a11 +
         12 * a12 + 13 * a13 + 14 * a14 + 15 * a15 + 16 * a16;
}

/* The bytes of a script buffer summed, or -1 when they are not script memory. */
QAVZ_EXPORT int32_t sum_bytes(uint32_t address, int32_t size) {
  const unsigned char* p = (const unsigned char*)qavz_pointer(host, address, (uint32_t)size);
  int32_t sum = 0;
  if (!p) return -1;
  for (int32_t i = 0; i < size; ++i) sum += p[i];
  return sum;
}

/* Writes a word into script memory; 0 when the address is not live. */
QAVZ_EXPORT int32_t poke(uint32_t address, int32_t value) {
  void* p = qavz_pointer(host, address, 4);
  if (!p) return 0;
  memcpy(p, &value, 4); /* script addresses need not be aligned */
  return 1;
}

QAVZ_EXPORT int32_t information(int32_t index) {
  uint32_t words[QAVZ_INFORMATION_WORDS] = {0};
  host->information(words);
  return (int32_t)words[index];
}

/* The stop and active flags read through their addresses. */
QAVZ_EXPORT int32_t flags(void) {
  uint32_t words[QAVZ_INFORMATION_WORDS] = {0};
  host->information(words);
  volatile const int32_t* stop = qavz_flag(host, words[0]);
  volatile const int32_t* active = qavz_flag(host, words[1]);
  return stop && active ? *stop * 10 + *active : -1;
}

/* The message itself, with a block in script memory. */
QAVZ_EXPORT int32_t message(uint32_t message, uint32_t block) {
  return host->send_message(message, (int32_t)block, 0);
}

QAVZ_EXPORT int32_t version(void) { return (int32_t)(host->version * 1000 + host->size); }
