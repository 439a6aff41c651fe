/* The frame, strings and sentence exports through libvelmira.so, from C99. */
#include <stdio.h>
#include <stdlib.h>

#include "velmira/velmira.h"

static int failures = 0;

#define CHECK(cond)                                                   \
  do {                                                                \
    if (!(cond)) {                                                    \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      failures++;                                                     \
    }                                                                 \
  } while (0)

static void StringExports(void) {
  static const WCHAR text[] = {'$', 'G', 'P', 0x141, 0};
  BSTR s = SysAllocStringLen(text, 4);
  CHECK(s != NULL);
  CHECK(SysStringLen(s) == 4);
  CHECK(((const uint32_t*)s)[-1] == 8); /* byte-length prefix */
  CHECK(s[3] == 0x141 && s[4] == 0);
  SysFreeString(s);
  SysFreeString(NULL);
  CHECK(SysStringLen(NULL) == 0);
}

static void SentenceWithoutText(void) {
  VmNmeaSentence* h = NmeaSentence_New();
  BSTR out = (BSTR)1;
  BSTR command;
  CHECK(h != NULL);
  command = NmeaSentence_GetCommand(h, &out);
  CHECK(command == out && command != NULL && SysStringLen(command) == 0);
  CHECK(SysStringLen(NmeaSentence_GetSentence(h, NULL)) == 0);
  CHECK(NmeaSentence_GetFieldCount(h) == 0);
  CHECK(NmeaSentence_Fields(h, 1, &out) == NULL && out == NULL);
  CHECK(Error_ErrNum(NmeaSentence_GetErrHandle(h)) == 0);
  out = NULL;
  CHECK(Error_ErrDesc(NmeaSentence_GetErrHandle(h), &out) == out && SysStringLen(out) == 0);
  NmeaSentence_Delete(h);
}

static void NullHandles(void) {
  CHECK(NmeaSentence_GetErrHandle(NULL) == NULL);
  NmeaSentence_Delete(NULL);
}

int main(void) {
  StringExports();
  SentenceWithoutText();
  NullHandles();
  if (failures == 0) printf("frame client: all checks passed\n");
  return failures == 0 ? 0 : 1;
}
