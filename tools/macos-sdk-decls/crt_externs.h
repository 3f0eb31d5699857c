// The C runtime's accessor for the process environment, usable from any
// image (a library has no direct access to the `environ` variable).
#ifndef AGENT_DECLS_CRT_EXTERNS_H
#define AGENT_DECLS_CRT_EXTERNS_H

#include <agent_decls/annotations.h>

AGENT_EXTERN_C_BEGIN
char*** _NSGetEnviron(void);
AGENT_EXTERN_C_END

AGENT_PIN(_NSGetEnviron, char***());

#endif
