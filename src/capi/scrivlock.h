/* Scrivlock's core for programs in other languages (libscrivlock-core.so):
 * takes the comments out of an Object Pascal unit's text and puts them back.
 *
 * Plain C (C89), plain C types. Texts are byte ranges (pointer and length)
 * and may hold any byte; names are zero-terminated. Every pointer the library
 * hands out is the caller's and goes back through scrivlock_free, nothing
 * else; the library keeps no state between calls, so calls on different
 * threads do not meet. No C++ exception leaves a call: a failure is returned
 * as a negative code.
 *
 * Result records are filled on every return, zeroed first: after a failure
 * they hold null pointers and zero sizes (or what is said below), so the
 * caller may always free their pointers.
 */
#ifndef SCRIVLOCK_CORE_H
#define SCRIVLOCK_CORE_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define SCRIVLOCK_EXPORT __attribute__((visibility("default")))
#else
#define SCRIVLOCK_EXPORT
#endif

/* The interface described here. A caller built against this header checks
 * that scrivlock_api_version() returns it before any other call: the records
 * below change only with it. */
#define SCRIVLOCK_API_VERSION 1

/* Return codes. The negative ones mean the call did nothing usable. */
#define SCRIVLOCK_OK 0
#define SCRIVLOCK_REFUSED 1       /* scrivlock_uncomment: see refusal */
#define SCRIVLOCK_STOPPED 2       /* scrivlock_recomment: see reason */
#define SCRIVLOCK_E_ARGUMENT (-1) /* a required pointer was null, or a value out of range */
#define SCRIVLOCK_E_MEMORY (-2)   /* memory could not be had, or a text would pass 2 GB */
#define SCRIVLOCK_E_INTERNAL (-3) /* anything else; the result's message says what */

/* How comments are read (scrivlock_uncomment, scrivlock_foresee_skip_problem). */
#define SCRIVLOCK_DIALECT_DELPHI 0 /* comments do not nest */
#define SCRIVLOCK_DIALECT_FPC 1    /* "{" nests in "{" and "(*" in "(*" */
#define SCRIVLOCK_DIALECT_AUTO                         \
  2 /* as Free Pascal decides: the unit's own {$mode}, \
       else the project's mode, else fpc */

/* Why scrivlock_uncomment refused the unit (the core's TUnCommentRefusal). */
#define SCRIVLOCK_UR_NONE 0
#define SCRIVLOCK_UR_EXTENSION 1         /* the file name is not a unit's (.pas, .pp) */
#define SCRIVLOCK_UR_FILE_NAME 2         /* a module header cannot record the file name */
#define SCRIVLOCK_UR_NOT_UNCOMMENTABLE 3 /* "{NOTUNCOMMENTABLE}" in the first 1023 bytes */
#define SCRIVLOCK_UR_TOO_LARGE 4         /* the stripped text or module would pass 2 GB */
#define SCRIVLOCK_UR_FAILURE 5           /* a stream failed otherwise */

/* Why scrivlock_recomment stopped early (the core's TReCommentStop::TReason). */
#define SCRIVLOCK_RS_NONE 0
#define SCRIVLOCK_RS_NO_ENTRIES 1       /* the module holds no entry at all */
#define SCRIVLOCK_RS_MISMATCH 2         /* the marker's number differs from the entry's */
#define SCRIVLOCK_RS_NO_ENTRY_LEFT 3    /* a marker found no entry */
#define SCRIVLOCK_RS_AFTER_END 4        /* a marker stands after the end marker */
#define SCRIVLOCK_RS_WRONG_END_NUMBER 5 /* a marker met the end record, another number */
#define SCRIVLOCK_RS_UNKNOWN_KIND 6     /* an entry names no known kind */
#define SCRIVLOCK_RS_UNPLACED_ENTRY 7   /* the unit ended with entries left */
#define SCRIVLOCK_RS_FAILURE 8          /* a stream failed */
#define SCRIVLOCK_RS_DAMAGED_ENTRY 9    /* an entry does not read as its record says */

typedef struct scrivlock_uncomment_result {
  char* stripped; /* the unit without comments, each replaced by its marker */
  size_t stripped_size;
  char* module; /* the commenting module */
  size_t module_size;
  int refusal;   /* SCRIVLOCK_UR_*: why it was refused (SCRIVLOCK_REFUSED) */
  int dialect;   /* the dialect the unit was read in (AUTO resolved) */
  char* message; /* after a negative code: what failed, for a log; else null */
} scrivlock_uncomment_result;

typedef struct scrivlock_recomment_result {
  char* restored; /* the unit with its comments; after SCRIVLOCK_STOPPED, the
                     text before the marker where it stopped */
  size_t restored_size;
  int reason;         /* SCRIVLOCK_RS_* */
  long marker;        /* the marker's number */
  long entry;         /* the number of the entry read for it */
  long offset;        /* the marker's byte offset in the stripped text */
  long line;          /* after SCRIVLOCK_STOPPED: the place of offset in the stripped */
  long column;        /*   text, 1-based; lines end in LF, CR LF or CR; bytes counted */
  long module_offset; /* where the entry begins in the module (SCRIVLOCK_RS_DAMAGED_ENTRY) */
  char* description;  /* after SCRIVLOCK_STOPPED: a sentence for the user, e.g. "marker
                         {#4} at byte 120 of the unit does not match entry 5 of the
                         commenting module"; after a negative code: what failed */
} scrivlock_recomment_result;

/* SCRIVLOCK_API_VERSION of the library. */
SCRIVLOCK_EXPORT int scrivlock_api_version(void);
/* The product's version, e.g. "0.1"; static, never freed. */
SCRIVLOCK_EXPORT const char* scrivlock_version(void);

/* Takes the comments out of `text` (`size` bytes), the unit whose file name is
 * `file_name` (a folder may precede it), and names the commenting module
 * `module_unit_name`. `dialect` is a SCRIVLOCK_DIALECT_*; for AUTO,
 * `project_mode` is the project's Free Pascal mode ("objfpc", "delphi", ...)
 * or null when it has none. `keep_lines` non-zero: every "//" comment leaves
 * its line break in the text, so that line numbers stay.
 * Returns SCRIVLOCK_OK with both texts in `result`, SCRIVLOCK_REFUSED with
 * `result->refusal` and no texts, or a negative code.
 * REQUIRES: `result`, `file_name` and `module_unit_name` not null; `text` not
 * null when `size` > 0. */
SCRIVLOCK_EXPORT int scrivlock_uncomment(const char* text, size_t size, const char* file_name,
                                         const char* module_unit_name, int dialect,
                                         const char* project_mode, int keep_lines,
                                         scrivlock_uncomment_result* result);

/* Puts the comments of `module` back into `stripped`, each marker replaced by
 * the entry of the same number. Returns SCRIVLOCK_OK with the whole unit in
 * `result->restored`, SCRIVLOCK_STOPPED with the reason and place in
 * `result`, or a negative code. Nothing in the inputs needs to be as
 * scrivlock_uncomment wrote it: an edited or damaged text stops the walk. */
SCRIVLOCK_EXPORT int scrivlock_recomment(const char* stripped, size_t stripped_size,
                                         const char* module, size_t module_size,
                                         scrivlock_recomment_result* result);

/* 1 when `module` (its first 1023 bytes, up to any zero byte) is the
 * commenting module of the unit file `unit_file_name` (name and extension, no
 * folder; case matters), 0 when not, or a negative code. */
SCRIVLOCK_EXPORT int scrivlock_is_module_of(const char* module, size_t module_size,
                                            const char* unit_file_name);

/* Whether the compiler can skip the body of `module` when it is compiled in
 * `dialect` (AUTO: `project_mode`'s dialect, else fpc; a module has no mode of
 * its own). 1 when it cannot, with `*entry` the entry whose text causes it
 * (0: the module's header); 0 when it can, or when the text is no module; or a
 * negative code. The project does not build while such a module is in it.
 * REQUIRES: `entry` not null. */
SCRIVLOCK_EXPORT int scrivlock_foresee_skip_problem(const char* module, size_t module_size,
                                                    int dialect, const char* project_mode,
                                                    long* entry);

/* The messages the product's other hosts show, for a caller that hosts the
 * commands itself (an IDE package), so that every host says the same. Each
 * takes the arguments named beside it; the others are ignored. */
#define SCRIVLOCK_MSG_SELECT_UNIT 1           /* none */
#define SCRIVLOCK_MSG_ALREADY_UNCOMMENTED 2   /* unit, module ("" when it has several) */
#define SCRIVLOCK_MSG_CANNOT_READ 3           /* unit */
#define SCRIVLOCK_MSG_REFUSED 4               /* unit; number: the SCRIVLOCK_UR_* refusal */
#define SCRIVLOCK_MSG_SEVERAL_MODULES 5       /* unit; number: how many modules */
#define SCRIVLOCK_MSG_NO_MODULE 6             /* unit */
#define SCRIVLOCK_MSG_MODULE_NOT_SKIPPABLE 7  /* unit, module; number: the entry */
#define SCRIVLOCK_MSG_EMPTY_UNIT 8            /* unit */
#define SCRIVLOCK_MSG_ZERO_BYTE 9             /* unit: the file; number: the byte's offset */
#define SCRIVLOCK_MSG_CANNOT_CREATE_MODULE 10 /* unit */
#define SCRIVLOCK_MSG_CANNOT_FILL_MODULE 11   /* unit, module */
#define SCRIVLOCK_MSG_UNIT_NOT_STRIPPED 12    /* unit, module */
#define SCRIVLOCK_MSG_UNIT_NOT_RESTORED 13    /* unit, module */
#define SCRIVLOCK_MSG_CANNOT_READ_MODULE 14   /* unit, module */
#define SCRIVLOCK_MSG_RECOMMENT_STOPPED 15    /* unit, module; detail: the stop's description */

/* The text of message `message` (a SCRIVLOCK_MSG_*) about the unit file
 * `unit_file` and the module file `module_file` (null counts as ""), with
 * `number` and `detail` where it takes them. Line breaks are CR LF. Null for
 * an unknown message or when memory cannot be had; else the caller frees it
 * with scrivlock_free. */
SCRIVLOCK_EXPORT char* scrivlock_message(int message, const char* unit_file,
                                         const char* module_file, long number, const char* detail);

/* `text` as a message about line `line`, column `column` (from 1) of file
 * `file_name`, in the form of the compiler's messages that editors jump to:
 * "Unit1.pas(12,5) Error: " + text, or "Warning: " for a text that begins with
 * "Warning". Null only when memory cannot be had; freed with scrivlock_free. */
SCRIVLOCK_EXPORT char* scrivlock_message_at(const char* file_name, long line, long column,
                                            const char* text);

/* Frees a pointer that the library handed out (a result's texts, message and
 * description, a message's text). Null is allowed. */
SCRIVLOCK_EXPORT void scrivlock_free(void* pointer);

#ifdef __cplusplus
}
#endif

#endif /* SCRIVLOCK_CORE_H */
