/* qavz_extension.h: writing extension libraries for qavz in C.
 *
 * A script loads an extension with dll_load("name.dll"), which finds
 * libname.so or name.so beside the title (or a library of that name on the
 * system's library path); dll_proc(library, "function") gives a handle of
 * one of its functions and dll_call(handle, ...) calls it on the script's
 * thread. A function takes up to 16 arguments, each a 32-bit value, and
 * returns a 32-bit value:
 *
 *     QAVZ_EXPORT int32_t add(int32_t a, int32_t b) { return a + b; }
 *
 * Script pointers arrive as 32-bit machine addresses. The runtime calls
 * qavz_extension_init, when the library has one, right after loading it,
 * with the host below: its `memory` turns a machine address into a pointer,
 * and qavz_pointer checks that the bytes are script memory first.
 *
 * Build with one command:  cc -shared -fPIC -o libname.so name.c
 */
#ifndef QAVZ_EXTENSION_H
#define QAVZ_EXTENSION_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define QAVZ_EXPORT __attribute__((visibility("default")))

/* The version of the host record below. */
#define QAVZ_EXTENSION_VERSION 1

/* The window message that fills the information block: send_message with
 * the machine address of 7 words and 0. The words, in order: the address of
 * the stop flag (non-zero once the script run is ending), the address of the
 * active flag (non-zero while the runtime's window is the active one), the
 * instance (0), the main window (its X11 window id, or 0), the screen's
 * width, height and colour depth as configured. */
#define QAVZ_MESSAGE_INFORMATION 1214
#define QAVZ_INFORMATION_WORDS 7

typedef struct qavz_host {
  uint32_t version; /* QAVZ_EXTENSION_VERSION */
  uint32_t size;    /* sizeof(qavz_host) as the runtime sees it */
  /* The script's address space: machine address a is at memory + a. */
  unsigned char* memory;
  /* Non-zero when the `size` bytes from `address` are live script memory;
   * anything else must not be touched. */
  int (*live)(uint32_t address, uint32_t size);
  /* Sends one of the main window's private messages (1124 .. 1214) and
   * waits for its answer, as a native does; 0 for other messages. */
  int32_t (*send_message)(uint32_t message, int32_t wparam, int32_t lparam);
  /* The information block of QAVZ_MESSAGE_INFORMATION copied into `words`
   * (the library's own memory); 0. */
  int32_t (*information)(uint32_t words[QAVZ_INFORMATION_WORDS]);
} qavz_host;

/* Defined by the library, optionally; the host outlives every call. */
QAVZ_EXPORT void qavz_extension_init(const qavz_host* host);

/* A pointer to `size` bytes of script memory at `address`, or NULL when
 * they are not all live. */
static inline void* qavz_pointer(const qavz_host* host, uint32_t address, uint32_t size) {
  return host && host->live(address, size) ? host->memory + address : NULL;
}

/* The stop and active flags as pointers, through the information block. */
static inline volatile const int32_t* qavz_flag(const qavz_host* host, uint32_t address) {
  return (volatile const int32_t*)qavz_pointer(host, address, 4);
}

#ifdef __cplusplus
}
#endif

#endif /* QAVZ_EXTENSION_H */
