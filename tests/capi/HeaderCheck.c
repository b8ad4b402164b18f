/* Compiled as C89 by the tests: the header needs nothing newer. */
#include "scrivlock.h"

int check(const char* text, size_t size) {
  scrivlock_uncomment_result uncommented;
  scrivlock_recomment_result recommented;
  long entry = 0;
  int code =
      scrivlock_uncomment(text, size, "A.pas", "B", SCRIVLOCK_DIALECT_AUTO, NULL, 1, &uncommented);
  if (code == SCRIVLOCK_OK) {
    code = scrivlock_recomment(uncommented.stripped, uncommented.stripped_size, uncommented.module,
                               uncommented.module_size, &recommented);
    scrivlock_free(recommented.restored);
    scrivlock_free(recommented.description);
    code = scrivlock_foresee_skip_problem(uncommented.module, uncommented.module_size,
                                          uncommented.dialect, NULL, &entry);
  }
  scrivlock_free(uncommented.stripped);
  scrivlock_free(uncommented.module);
  scrivlock_free(uncommented.message);
  return code;
}
